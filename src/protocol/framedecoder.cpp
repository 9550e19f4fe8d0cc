#include "protocol/framedecoder.h"

#include "protocol/chainprotocol.h"

namespace {

constexpr char kCR = Protocol::kFrameEnd;
constexpr char kStart = '$';
const QByteArray kCommandPrefix(Protocol::kPrefix);
const QByteArray kProbe(Protocol::kProbe);
const QByteArray kLetters(Protocol::kLetters);

DecodedFrame malformed(const QString &problem, const QByteArray &skipped)
{
    DecodedFrame frame;
    frame.kind = DecodedFrame::Kind::Malformed;
    frame.problem = problem;
    frame.skipped = skipped;
    return frame;
}

// The W argument is refused whole when any part of it is wrong: a half-written pattern would
// leave the table in a state the utility never sent.
QString patternProblem(const QByteArray &argument)
{
    if (argument.size() != FrameDecoder::kPatternArgument)
        return QStringLiteral("W needs %1 characters (code and 15 segment states), got %2")
                .arg(FrameDecoder::kPatternArgument)
                .arg(argument.size());
    const int code = static_cast<unsigned char>(argument.at(0));
    if (!Protocol::isUserCode(code))
        return QStringLiteral("W code %1 is not a user-font code").arg(code);
    const qsizetype state = Protocol::firstNonState(QString::fromLatin1(argument.mid(1)));
    if (state >= 0)
        return QStringLiteral("W segment state %1 is not 0 or 1").arg(state);
    return QString();
}

} // namespace

QString escapedBytes(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (byte == '"' || byte == '\\') {
            text += QLatin1Char('\\');
            text += QLatin1Char(byte);
        } else if (value >= 0x20 && value < 0x7f) {
            text += QLatin1Char(byte);
        } else {
            text += QStringLiteral("\\x%1").arg(value, 2, 16, QLatin1Char('0'));
        }
    }
    return text;
}

DecodedFrame FrameDecoder::parse(const QByteArray &line)
{
    if (line == kProbe) {
        DecodedFrame frame;
        frame.kind = DecodedFrame::Kind::Probe;
        return frame;
    }
    const QByteArray withCR = line + kCR;
    if (!line.startsWith(kCommandPrefix))
        return malformed(QStringLiteral("not a command"), withCR);
    if (line.size() == kCommandPrefix.size())
        return malformed(QStringLiteral("no command letter"), withCR);
    const char letter = line.at(kCommandPrefix.size());
    if (!kLetters.contains(letter))
        return malformed(QStringLiteral("unknown command letter \"%1\"")
                                 .arg(escapedBytes(QByteArray(1, letter))),
                         withCR);
    const QByteArray argument = line.mid(kCommandPrefix.size() + 1);
    if (letter == 'W') {
        const QString problem = patternProblem(argument);
        if (!problem.isEmpty())
            return malformed(problem, withCR);
    }
    DecodedFrame frame;
    frame.kind = DecodedFrame::Kind::Command;
    frame.letter = letter;
    frame.argument = argument;
    return frame;
}

void FrameDecoder::reportStrayBytes(QList<DecodedFrame> &frames)
{
    if (m_pending.isEmpty())
        return;
    frames.append(malformed(QStringLiteral("bytes outside a frame"), m_pending));
    m_pending.clear();
}

QList<DecodedFrame> FrameDecoder::feed(const QByteArray &bytes)
{
    QList<DecodedFrame> frames;
    for (const char byte : bytes) {
        switch (m_state) {
        case State::BetweenFrames:
            if (byte == kStart) {
                reportStrayBytes(frames);
                m_pending.append(byte);
                m_state = State::InFrame;
                break;
            }
            // Noise is reported a line (or kMaxFrame bytes) at a time, so a stream of it can
            // neither grow without bound nor flood the report with one line per byte.
            m_pending.append(byte);
            if (byte == kCR || m_pending.size() >= kMaxFrame)
                reportStrayBytes(frames);
            break;
        case State::InFrame:
            if (byte == kCR) {
                frames.append(parse(m_pending));
                m_pending.clear();
                m_state = State::BetweenFrames;
                break;
            }
            // "$" is an ordinary argument character (a user-font code), so only CR ends a frame.
            m_pending.append(byte);
            if (m_pending.size() >= kMaxFrame) {
                frames.append(
                        malformed(QStringLiteral("no CR within %1 bytes; dropped up to the next CR")
                                          .arg(kMaxFrame),
                                  m_pending));
                m_pending.clear();
                m_state = State::DroppingToCR;
            }
            break;
        case State::DroppingToCR:
            if (byte == kCR)
                m_state = State::BetweenFrames;
            break;
        }
    }
    return frames;
}
