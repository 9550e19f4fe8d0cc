#pragma once

#include "session/scrolltiming.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The notifications asked for: the one on show and those waiting for it, highest priority
// first, then in order of arrival. It only keeps the order; what goes on the line is the
// layers'.
class NoticeBoard
{
public:
    struct Notice
    {
        int id = 0;
        QString text;      // the whole text
        QStringList shown; // in whole characters: fitted to the chain, or all when it scrolls
        bool scrolls = false;
        ScrollTiming timing;
        int priority = 1;
    };
    // What an arrival or a promotion did: whether notice id went on show, and the one it
    // ended to do so (0 for none).
    struct Change
    {
        int id = 0;
        bool shows = false;
        int ended = 0;
    };

    // Gives notice its id. It shows when nothing does, or when its priority is at least the
    // shown one's, which it ends; otherwise, or when it may not show now, it waits.
    Change add(Notice notice, bool mayShow);
    // The head of the waiting ones shows when nothing does or when it ranks as high as the
    // shown one (which it ends); shows false when none moved.
    Change promote();
    // Removes id, shown or waiting; false when it is neither.
    bool remove(int id);

    const std::optional<Notice> &shown() const { return m_shown; }
    int waiting() const { return static_cast<int>(m_waiting.size()); }

private:
    std::optional<Notice> m_shown;
    QList<Notice> m_waiting;
    int m_lastId = 0;
};
