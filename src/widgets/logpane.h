#pragma once

#include <QPlainTextEdit>

class QAction;

// A read-only traffic log pane: appends at the end, keeps its newest lines, clears on double-click,
// and offers copying, saving and time stamps from its context menu.
class LogPane : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int kMaxLines = 100000;

    explicit LogPane(const QString &objectName, QWidget *parent = nullptr);

    // Appends text (CR LF or LF break lines) at the end and moves the caret there.
    void appendText(const QString &text);
    // The whole log with every line ended by CR LF.
    QString logText() const;
    int lineCount() const;

    // The context menu's "Time Stamps" entry: when checked, each new line starts with the time.
    QAction *timeStampsAction() const { return m_timeStamps; }
    // Empties the pane, as a double-click does.
    void clearLog();
    // Asks for a file and writes the log to it, replacing an old file only when complete.
    void saveLogAs();

Q_SIGNALS:
    void cleared();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QString withTimeStamps(const QString &plain) const;

    QAction *m_timeStamps = nullptr;
};
