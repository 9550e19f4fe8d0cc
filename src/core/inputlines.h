#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// Reads a descriptor (standard input, a pipe) as data arrives and hands on each whole line from
// the event loop, so that a program can follow a pipe without a thread or a blocking read. Each
// byte is looked at once and a line is held up to kMaxLineBytes, so a huge line costs neither
// time nor memory.
class InputLines : public QObject
{
    Q_OBJECT
public:
    explicit InputLines(int fd, QObject *parent = nullptr);

    // While paused nothing is read: the input waits in the pipe, and its writer with it.
    void setPaused(bool paused);

Q_SIGNALS:
    // One line without its end (CR LF or LF). Input arriving while it is handled waits for the
    // next round; no more lines are handed on once a shutdown is requested.
    void lineRead(const QByteArray &line);
    // A line longer than kMaxLineBytes was skipped in place of lineRead.
    void lineTooLong();
    // The input ended (or could not be read), after its last line, which may lack its end.
    void ended();

private:
    void readMore();
    // Takes the bytes read: whole lines are handed on, the rest is kept for the next round.
    void take(const char *data, qsizetype size);
    void endLine();
    void updateNotifier();

    int m_fd;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending;    // the line read so far, at most kMaxLineBytes and its CR
    bool m_skipping = false; // the line read so far is too long: its rest is skipped
    bool m_reading = false;
    bool m_paused = false;
    bool m_ended = false;
};
