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
