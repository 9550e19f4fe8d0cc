#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The facts of the display chain's serial protocol, each in one place: the frame prefix and
// letters, the skip character, the longest chain, the user-font code range and its reserved
// codes, what a segment pattern is, the scan probe and its reply, and the line settings.
namespace Protocol {

// A command: the prefix, one letter, the argument, one CR.
inline constexpr char kPrefix[] = "$B7";
inline constexpr char kLetters[] = "MFUESW";
inline constexpr char kFrameEnd = '\r';
// The most digits (modules) one chain holds.
inline constexpr int kMaxDigits = 10;
// In a per-digit field, "!" leaves that digit as it is.
inline constexpr char kSkip = '!';
// The letter that selects the user font in the fonts field.
inline constexpr char kUserFont = 'U';

// The user font holds one pattern per code 10 to 125; the table is indexed 0 to 125.
inline constexpr int kFirstUserCode = 10;
inline constexpr int kLastUserCode = 125;
inline constexpr int kCodeSlots = kLastUserCode + 1;
// 13 is the frame end and 33 the skip character: no user-font character can use them.
inline constexpr int kReservedFrameEnd = 13;
inline constexpr int kReservedSkip = 33;
inline constexpr bool isReservedCode(int code)
{
    return code == kReservedFrameEnd || code == kReservedSkip;
}
// Codes the editor, the navigation and the upload use: 10 to 125 without 13 and 33.
inline constexpr bool isUserCode(int code)
{
    return code >= kFirstUserCode && code <= kLastUserCode && !isReservedCode(code);
}

// A segment pattern: one state per segment, segment 0 first, "1" on and "0" off.
inline constexpr int kSegments = 15;
// Where states stops being segment states: the index of its first character other than "0"
// and "1", or -1 when there is none.
inline qsizetype firstNonState(QStringView states)
{
    for (qsizetype i = 0; i < states.size(); ++i) {
        if (states.at(i) != QLatin1Char('0') && states.at(i) != QLatin1Char('1'))
            return i;
    }
    return -1;
}
// True for a text of exactly 15 characters "0" and "1".
inline bool isPattern(QStringView text)
{
    return text.size() == kSegments && firstNonState(text) < 0;
}

// The probe a probing port scan sends, and the reply by which a chain answers it.
inline constexpr char kProbe[] = "$0000";
inline constexpr char kProbeReply[] = "!0000022600";

// The line to the chain, and the line a probing scan uses.
inline QString lineSettings()
{
    return QStringLiteral("9600,n,8,1");
}
inline QString scanLineSettings()
{
    return QStringLiteral("115200,n,8,1");
}
// Line settings as terminals name them: "9600,n,8,1" reads "9600 8N1".
inline QString lineSettingsName(const QString &settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return settings;
    return parts.at(0) + QLatin1Char(' ') + parts.at(2) + parts.at(1).toUpper() + parts.at(3);
}

} // namespace Protocol
