#pragma once

#include "session/pacedsender.h"

#include <QByteArray>
#include <QObject>

class FontTable;

// The whole user font to every module as one job: the fonts command, then each pattern and its
// character, with progress counted in characters and a stop that takes effect before the next
// character, so the one on the line always goes out whole.
class UploadJob : public QObject
{
    Q_OBJECT
public:
    explicit UploadJob(PacedSender &sender, QObject *parent = nullptr);

    // Runs the upload of table with the fonts argument and returns how it ended; events run
    // meanwhile. A second run while one is under way is refused as Stopped; with no port open
    // nothing is sent and the run ends LineFailed at once, as it does when the line fails.
    PacedSender::Outcome run(const QByteArray &fonts, const FontTable &table);
    // Ends a running upload before its next character.
    void stop() { m_stopRequested = true; }

    bool running() const { return m_running; }
    bool stopRequested() const { return m_stopRequested; }
    // Characters whose frames all reached the line so far (as the log shows them sent, also
    // after a failed line), and of all.
    int sent() const { return m_sent; }
    int total() const { return m_total; }
    // The time the pauses of the commands not yet sent will take.
    double secondsLeft() const;
    // A progress line for a terminal: a bar, sent of total characters and the time left.
    static QString progressLine(int sent, int total, double secondsLeft);

Q_SIGNALS:
    // The upload begins with total characters to send.
    void started(int total);
    // A character's pattern is about to go out: sent characters before it, of total.
    void progress(int sent, int total);
    void characterStarting(int code);
    void finished(PacedSender::Outcome outcome);

private:
    PacedSender &m_sender;
    bool m_running = false;
    bool m_stopRequested = false;
    int m_sent = 0;
    int m_total = 0;
    int m_pauseLeft = 0;
};
