#pragma once

#include "widgets/logselection.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <utility>

class FindBar;
class LogPane;
class QKeyEvent;

// A log pane's find: its find bar below the view, the search that selects each match and
// scrolls to it, and where that match stands among all of them ("3 of 12", "No match").
class LogPaneFind : public QObject
{
    Q_OBJECT
public:
    explicit LogPaneFind(LogPane *pane);

    FindBar *bar() const { return m_bar; }
    bool isOpen() const;
    // The text to mark on screen: none while the bar is closed.
    QString markedText() const;
    // Opens the bar, starting from the selection when it lies on one line.
    void open();
    // Puts the open bar below the view.
    void place(const QRect &view);
    // F3 and Shift+F3 search, Escape closes the open bar; false for other keys.
    bool handleKey(const QKeyEvent &event);
    // Selects the next match (the previous one when backward) after the selection, else from
    // the line at the top of the view.
    void search(bool backward);

private:
    // The number of the match that starts at start among all matches of text, and their count.
    std::pair<int, int> standing(const QString &text, const LogSelection::Position &start) const;

    LogPane *m_pane;
    FindBar *m_bar = nullptr;
};
