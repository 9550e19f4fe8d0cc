#pragma once

#include <QString>

class LogPane;
class QAction;
class QKeySequence;

// A log pane's context menu, which is the pane's own actions: their entries, their keys and the
// pane's functions they call.
class LogPaneMenu
{
public:
    explicit LogPaneMenu(LogPane *pane);

    QAction *copy() const { return m_copy; }
    QAction *timeStamps() const { return m_timeStamps; }
    QAction *logToFile() const { return m_logToFile; }
    // Shows the file the log goes to, or that it goes to none.
    void showLogFile(const QString &fileName);
    void showNoLogFile();
    // Triggers the enabled entry these keys stand for, where the shortcuts do not reach (the window
    // is not active); false when there is none.
    bool trigger(const QKeySequence &keys) const;

private:
    LogPane *m_pane;
    QAction *m_copy = nullptr;
    QAction *m_logToFile = nullptr;
    QAction *m_timeStamps = nullptr;
};
