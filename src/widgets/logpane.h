#pragma once

#include "core/linestore.h"
#include "widgets/logfileappender.h"
#include "widgets/logselection.h"
#include "widgets/shownlines.h"

#include <QAbstractScrollArea>
#include <QDateTime>
#include <QTimer>

#include <memory>

class LogPaneFind;
class LogPaneMenu;
class LogRowPainter;
class NewLinesHint;
class QAction;

// A read-only traffic log pane over a compact line store. It lays out and paints only the lines
// on screen, follows new lines only while its view is at the bottom, and offers selection, find,
// copying, clearing, saving, logging to a file and time stamps.
class LogPane : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString text READ logText)
public:
    static constexpr int kMaxLines = 1000000;

    explicit LogPane(const QString &objectName, QWidget *parent = nullptr);
    ~LogPane() override;

    // Appends text at the end (CR LF or LF end a line; text after the last break stays open for
    // the next append to continue). A line begun here carries stamp, now when it is invalid.
    void appendText(const QString &text, const QDateTime &stamp = QDateTime());
    // Appends one whole line. A note (why a command did not go out) follows its text and greys
    // the line.
    void appendLine(const QString &text, const QDateTime &stamp, const QString &note = QString());
    // The whole log as shown, every line ended by CR LF but an open last one.
    QString logText() const;
    int lineCount() const { return m_store.size(); }
    // The oldest lines go once the pane holds more than this.
    void setMaximumLineCount(int lines);
    // New lines are painted at most this often; 0 paints them at the next turn of the event loop.
    void setRefreshInterval(int ms);

    QString selectedText() const { return m_selection.text(); }
    void selectAll();
    void copy();
    // The context menu's "Time Stamps" entry: when checked, each line starts with its time.
    QAction *timeStampsAction() const;
    // Empties the pane (the menu's Clear, Ctrl+L).
    void clearLog();
    // Asks for a file and writes the log to it, replacing an old file only when complete.
    void saveLogAs();
    // Asks for a file and appends every new line to it from now on; called again, stops.
    void toggleLogToFile();
    // Appends every new line to the file at path from now on (a file chosen in a dialog when
    // path is empty), unless a file is already being logged to.
    void logToFile(const QString &path);
    // The file being logged to, with its folder; empty when none.
    QString logFilePath() const { return m_logFile.path(); }
    // Opens the find bar (Ctrl+F).
    void showFind();

Q_SIGNALS:
    void cleared();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // The find bar works the pane's view and selection.
    friend class LogPaneFind;
    using Position = LogSelection::Position;

    LogRowPainter rowPainter() const;
    void lineAdded(int characters);
    void measureFont();
    void scheduleRefresh();
    void refresh();
    void repaintAll();
    void onScrolled(int value);
    void scrollToLine(int index);
    void placeChildren();
    int visibleLines() const;

    Position positionAt(const QPoint &point) const;
    bool hasSelection() const { return !m_selection.isEmpty(); }
    void selectionChanged();

    void writeToLogFile(int index);
    void stopLogToFile();

    LineStore m_store;
    ShownLines m_lines;
    LogSelection m_selection;
    LogFileAppender m_logFile;
    bool m_lastOpen = false; // the last line waits for more text
    int m_openLength = 0;
    int m_widest = 0; // characters of the longest line as shown, stamps and notes aside
    // The font's measures, asked for on every refresh.
    int m_lineSpacing = 1;
    int m_charWidth = 1;

    QTimer m_refresh;
    bool m_syncing = false;
    bool m_atBottom = true;
    bool m_newBelow = false;
    qint64 m_top = 0;        // the number of the line at the top of the view
    qint64 m_paintedEnd = 0; // one past the number of the last line at the last refresh
    bool m_lastGrew = false; // the last line got more text since
    bool m_paintPending = false;

    std::unique_ptr<LogPaneMenu> m_menu;
    LogPaneFind *m_find = nullptr;
    NewLinesHint *m_newBelowHint = nullptr;
};
