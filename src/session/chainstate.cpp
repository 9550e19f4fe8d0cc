#include "session/chainstate.h"

#include "font/builtinfont.h"
#include "font/fonttable.h"
#include "font/segmentgeometry.h"
#include "protocol/framedecoder.h"

#include <QStringList>

#include <algorithm>

namespace {
constexpr char kSkip = Protocol::kSkip;
constexpr char kUserFont = Protocol::kUserFont;
constexpr int kUnderscoreSegment = SegmentGeometry::kSegments - 1;
} // namespace

ChainState::ChainState(int digits)
    : m_digits(std::clamp(digits, kMinDigits, kMaxDigits)), m_characters(m_digits, ' ')
{
    m_attributes.fill(QByteArray(m_digits, '0'));
    m_userFont.fill(FontTable::allOff());
}

QString ChainState::userPattern(int code) const
{
    if (code < 0 || code >= kFontSlots)
        return FontTable::allOff();
    return m_userFont[static_cast<size_t>(code)];
}

QString ChainState::digitPattern(int digit) const
{
    if (digit < 0 || digit >= m_digits)
        return FontTable::allOff();
    const char character = m_characters.at(digit);
    QString pattern = fonts().at(digit) == kUserFont
                              ? userPattern(static_cast<unsigned char>(character))
                              : BuiltinFont::pattern(character);
    if (pattern.isEmpty())
        pattern = FontTable::allOff();
    if (underscores().at(digit) == '1')
        pattern[kUnderscoreSegment] = QLatin1Char('1');
    return pattern;
}

QString ChainState::describe() const
{
    return QStringLiteral("chars=\"%1\" fonts=\"%2\" underscores=\"%3\" effects=\"%4\" "
                          "speeds=\"%5\"")
            .arg(escapedBytes(m_characters), escapedBytes(fonts()), escapedBytes(underscores()),
                 escapedBytes(effects()), escapedBytes(speeds()));
}

bool ChainState::operator==(const ChainState &other) const
{
    return m_digits == other.m_digits && m_characters == other.m_characters
           && m_attributes == other.m_attributes && m_userFont == other.m_userFont;
}

QByteArray *ChainState::valuesOf(char letter)
{
    if (letter == 'M')
        return &m_characters;
    const int row = DigitAttributes::rowOf(letter);
    return row < 0 ? nullptr : &m_attributes[static_cast<std::size_t>(row)];
}

bool ChainState::isExpected(char letter, int digit, char value) const
{
    if (letter == 'M') {
        if (fonts().at(digit) == kUserFont)
            return Protocol::isUserCode(static_cast<unsigned char>(value));
        return !BuiltinFont::pattern(value).isEmpty();
    }
    // What the attribute's field would let the user type, as it is.
    const int row = DigitAttributes::rowOf(letter);
    const KeyVerdict verdict = DigitAttributes::table()[static_cast<std::size_t>(row)].keyRule(
            static_cast<unsigned char>(value));
    return verdict.kind == KeyVerdict::Insert && verdict.character == QLatin1Char(value);
}

QString ChainState::applyPerDigit(char letter, const QByteArray &argument)
{
    QByteArray *values = valuesOf(letter);
    if (!values)
        return QString();
    // A shorter argument changes only the first digits; characters beyond the chain are for
    // digits that are not there.
    QStringList unexpected;
    const int count = std::min(static_cast<int>(argument.size()), m_digits);
    for (int digit = 0; digit < count; ++digit) {
        const char value = argument.at(digit);
        if (value == kSkip)
            continue;
        if (!isExpected(letter, digit, value))
            unexpected.append(QStringLiteral("digit %1 \"%2\"")
                                      .arg(digit + 1)
                                      .arg(escapedBytes(QByteArray(1, value))));
        (*values)[digit] = value;
    }
    if (unexpected.isEmpty())
        return QString();
    return QStringLiteral(" unexpected: ") + unexpected.join(QStringLiteral(", "));
}

ChainState::Outcome ChainState::apply(const DecodedFrame &frame)
{
    Outcome outcome;
    switch (frame.kind) {
    case DecodedFrame::Kind::Probe:
        outcome.reply = probeReply();
        outcome.report = QStringLiteral("probe \"$0000\\x0d\" reply=\"%1\"")
                                 .arg(QString::fromLatin1(outcome.reply));
        break;
    case DecodedFrame::Kind::Malformed:
        outcome.report = QStringLiteral("error: %1: \"%2\"")
                                 .arg(frame.problem, escapedBytes(frame.skipped));
        break;
    case DecodedFrame::Kind::Command: {
        QString detail;
        if (frame.letter == 'W') {
            // The decoder has checked the length, the code and the fifteen states.
            const int code = frame.argument.isEmpty()
                                     ? -1
                                     : static_cast<unsigned char>(frame.argument.at(0));
            if (frame.argument.size() != FrameDecoder::kPatternArgument
                || !Protocol::isUserCode(code)) {
                outcome.report = QStringLiteral("error: unchecked W: \"%1\"")
                                         .arg(escapedBytes(frame.argument));
                break;
            }
            const QString pattern = QString::fromLatin1(frame.argument.mid(1));
            m_userFont[static_cast<size_t>(code)] = pattern;
            detail = QStringLiteral(" code=%1 pattern=%2").arg(code).arg(pattern);
        } else {
            detail = applyPerDigit(frame.letter, frame.argument);
        }
        outcome.report = QStringLiteral("%1 \"%2\" %3%4")
                                 .arg(QLatin1Char(frame.letter))
                                 .arg(escapedBytes(frame.argument), describe(), detail);
        break;
    }
    }
    return outcome;
}
