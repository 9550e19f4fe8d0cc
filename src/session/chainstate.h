#pragma once

#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"

#include <QByteArray>
#include <QString>

#include <array>

struct DecodedFrame;

// What a chain of N digits shows: each digit's character, font, underscore, effect and speed,
// and the one user-font table that W commands write for the whole chain.
class ChainState
{
public:
    static constexpr int kMinDigits = 1;
    static constexpr int kMaxDigits = Protocol::kMaxDigits;
    static constexpr int kDefaultDigits = 6;
    static constexpr int kFontSlots = Protocol::kCodeSlots;

    // The answer to the probe "$0000" by which a probing port scan recognises a chain.
    static QByteArray probeReply() { return QByteArray(Protocol::kProbeReply); }

    // digits is clamped to 1..10. Every digit starts blank in font "0", without underscore,
    // with effect and speed "0"; every user-font pattern starts all off.
    explicit ChainState(int digits = kDefaultDigits);

    // What one frame did: the report line and the bytes to send back (empty for none).
    struct Outcome
    {
        QString report;
        QByteArray reply;
    };

    // Applies frame to the chain; malformed frames change nothing.
    Outcome apply(const DecodedFrame &frame);

    int digits() const { return m_digits; }
    QByteArray characters() const { return m_characters; }
    QByteArray fonts() const { return m_attributes[DigitAttributes::Fonts]; }
    QByteArray underscores() const { return m_attributes[DigitAttributes::Underscore]; }
    QByteArray effects() const { return m_attributes[DigitAttributes::Effects]; }
    QByteArray speeds() const { return m_attributes[DigitAttributes::Speeds]; }
    // The user-font pattern of code; all off outside 0 to 125.
    QString userPattern(int code) const;

    // The 15 segment states digit shows: in font "U" the user pattern of its character, in a
    // built-in font the built-in shape (all off for a character without one); the underscore
    // lights segment 14 either way.
    QString digitPattern(int digit) const;

    // chars="..." fonts="..." underscores="..." effects="..." speeds="...".
    QString describe() const;

    bool operator==(const ChainState &other) const;
    bool operator!=(const ChainState &other) const { return !(*this == other); }

private:
    QByteArray *valuesOf(char letter);
    QString applyPerDigit(char letter, const QByteArray &argument);
    bool isExpected(char letter, int digit, char value) const;

    int m_digits = kDefaultDigits;
    QByteArray m_characters;
    // One value per digit for each row of the attribute table.
    std::array<QByteArray, DigitAttributes::kCount> m_attributes;
    std::array<QString, kFontSlots> m_userFont;
};
