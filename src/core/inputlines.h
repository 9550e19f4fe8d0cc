#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Reads a descriptor (standard input, a pipe) as data arrives and hands on each whole line from
// the event loop, so that a program can follow a pipe without a thread or a blocking read.
class InputLines : public QObject
{
    Q_OBJECT
public:
    explicit InputLines(int fd, QObject *parent = nullptr);

Q_SIGNALS:
    // One line without its end (CR LF or LF). Input arriving while it is handled waits for the
    // next round; no more lines are handed on once a shutdown is requested.
    void lineRead(const QByteArray &line);
    // The input ended (or could not be read), after its last line, which may lack its end.
    void ended();

private:
    void readMore();

    int m_fd;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending; // input after the last whole line
};
