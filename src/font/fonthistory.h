#pragma once

#include "font/fonttable.h"

#include <QList>

#include <optional>

// Undo and redo for the user font: whole-table snapshots, each with the code the change was at.
class FontHistory
{
public:
    // Keeps before as one undo step when after differs from it. Successive typing at the same
    // code makes a single step until another step, an undo or endTyping comes between.
    void record(const FontTable &before, const FontTable &after, int code, bool typing = false);
    void endTyping() { m_typing = false; }

    // Puts table back one step (or forward again) and returns the code that changed; nothing
    // when there is no step to take.
    std::optional<int> undo(FontTable &table);
    std::optional<int> redo(FontTable &table);

private:
    struct Step
    {
        FontTable table;
        int code = 0;
    };
    static std::optional<int> move(QList<Step> &from, QList<Step> &to, FontTable &table);

    // Enough for an editing session; the oldest steps go first.
    static constexpr int kMaxSteps = 200;
    QList<Step> m_undo;
    QList<Step> m_redo;
    bool m_typing = false;
    int m_typingCode = -1;
};
