#pragma once

#include <QPlainTextEdit>

// A read-only traffic log pane: appends at the end, keeps its newest lines, clears on double-click.
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

Q_SIGNALS:
    void cleared();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
