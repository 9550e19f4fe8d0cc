#pragma once

#include "protocol/chainprotocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One unit the decoder recognised on the line: a command, the port-scan probe, or input it
// could not use.
struct DecodedFrame
{
    enum class Kind { Command, Probe, Malformed };

    Kind kind = Kind::Malformed;
    // Command: "M", "F", "U", "E", "S" or "W" and the argument between letter and CR.
    char letter = 0;
    QByteArray argument;
    // Malformed: what was wrong and the bytes that were skipped.
    QString problem;
    QByteArray skipped;

    bool operator==(const DecodedFrame &other) const
    {
        return kind == other.kind && letter == other.letter && argument == other.argument
               && problem == other.problem && skipped == other.skipped;
    }
};

// Splits the byte stream from the utility into frames: "$B7", a letter, the argument, CR; or
// the probe "$0000" and CR. Bytes may arrive in any pieces; the result depends only on the
// bytes fed so far. Nothing it is fed stops it: bad input becomes one Malformed frame and the
// decoder looks for the next "$".
class FrameDecoder
{
public:
    // A frame, CR included, is at most this long; a longer one is dropped up to its CR.
    static constexpr int kMaxFrame = 64;
    // The one W argument: the character code and fifteen segment states.
    static constexpr int kPatternArgument = 1 + Protocol::kSegments;

    // Decodes bytes and returns the frames they complete, in order.
    QList<DecodedFrame> feed(const QByteArray &bytes);

    // The frame a complete line (without its CR) stands for.
    static DecodedFrame parse(const QByteArray &line);

private:
    enum class State { BetweenFrames, InFrame, DroppingToCR };

    void reportStrayBytes(QList<DecodedFrame> &frames);

    State m_state = State::BetweenFrames;
    QByteArray m_pending;
};

// bytes as readable text: printable ASCII as itself, quote and backslash escaped, every other
// byte as \xHH.
QString escapedBytes(const QByteArray &bytes);
