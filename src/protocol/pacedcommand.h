#pragma once

#include <QByteArray>
#include <QList>

// One display command as data: its letter, its argument and the pause after it (hundredths of
// a second). Builders return lists of them and one loop sends them, so the window and the
// command line send the same frames with the same pauses.
struct PacedCommand
{
    char letter = 'M';
    QByteArray argument;
    int pause = 0;

    // The frame on the wire; throws std::invalid_argument like Command::build.
    QByteArray bytes() const;
    bool operator==(const PacedCommand &other) const
    {
        return letter == other.letter && argument == other.argument && pause == other.pause;
    }
};

using CommandList = QList<PacedCommand>;

// The pauses after a command, in hundredths of a second; each name means one length.
namespace Pause {
// After most commands: messages, attributes, mode steps, an upload's writes.
inline constexpr int kShort = 5;
// After a command the modules take longer over: blanking, showing a pattern just written.
inline constexpr int kLong = 10;
// Between the segment test's commands, which must all fit into one tick.
inline constexpr int kTestStep = 2;
} // namespace Pause
