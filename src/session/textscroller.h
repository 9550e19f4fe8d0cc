#pragma once

#include "session/tickroute.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class PacedSender;
class QTimer;

// A text shown over time: one step every rate milliseconds, each step the chain's width of the
// text (ScrollSteps), sent as a message when it differs from the last one sent; it ends after
// a number of passes or seconds, or runs until stopped when given neither. A text that fits
// the chain shows once and counts its passes in the same steps.
class TextScroller : public QObject
{
    Q_OBJECT
public:
    explicit TextScroller(PacedSender &sender, const QString &text, int length,
                          QObject *parent = nullptr);

    // Each step goes through route (none: it runs at once).
    void setTickRoute(TickRoute route) { m_route = std::move(route); }
    // passes and seconds of 0 do not end the run; the first limit reached does.
    void start(int rateMs, int passes, int seconds);
    void stop();

    bool running() const;
    int step() const { return m_step; }

Q_SIGNALS:
    // The run reached its passes or its seconds.
    void finished();

private:
    void tick();
    void showStep();
    bool over() const;

    PacedSender &m_sender;
    QString m_text;
    int m_length;
    TickRoute m_route;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
    int m_step = 0;
    int m_passes = 0;
    int m_seconds = 0;
    QString m_lastShown;
};
