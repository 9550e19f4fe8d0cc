#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QPlainTextEdit;
class QWidget;

// The baseline of the log benchmarks: the transmit log as it was before the line store, a
// QPlainTextEdit that lays out every line it is given and gathers lines logged during a paced
// run to append them ten times a second at most.
class PlainTextLog : public QObject
{
    Q_OBJECT
public:
    explicit PlainTextLog(QWidget *parent = nullptr);

    QPlainTextEdit &edit() { return *m_edit; }
    // Appends text (LF breaks lines) at once, caret and view to the end, as the old pane did.
    void appendText(const QString &text);
    // Gathers a line for the next of the ten appends a second.
    void logLine(const QString &line);

private:
    QPlainTextEdit *m_edit = nullptr;
    QString m_pending;
    QTimer m_flush;
};
