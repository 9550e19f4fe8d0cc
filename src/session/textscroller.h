#pragma once

#include "protocol/pacedcommand.h"
#include "session/tickroute.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class PacedSender;
class QTimer;

// A text shown over time: one step every rate milliseconds, each step the chain's width of the
// text (ScrollSteps), sent as a message when it differs from the last one sent; it ends after
// a number of passes or seconds, or runs until stopped when given neither. A run that ends
// leaves the text's start on show (the first frame again), never a part of it. A text that
// fits the chain shows once and counts its passes in the same steps.
class TextScroller : public QObject
{
    Q_OBJECT
public:
    // text in whole characters (TextGlyphs::split), one per digit.
    explicit TextScroller(PacedSender &sender, const QStringList &text, int length,
                          QObject *parent = nullptr);

    // What a window of the text sends (none: a message of its Latin-1 codes).
    using Frames = std::function<CommandList(const QStringList &window)>;
    void setFrames(Frames frames) { m_frames = std::move(frames); }

    // Each step goes through route (none: it runs at once).
    void setTickRoute(TickRoute route) { m_route = std::move(route); }
    // Whether an ending run sends the text's start again (the default); one that gives the
    // chain back to something else at once has no need to.
    void setEndsOnStart(bool endsOnStart) { m_endsOnStart = endsOnStart; }
    // passes and seconds of 0 do not end the run; the first limit reached does.
    void start(int rateMs, int passes, int seconds);
    void stop();

    bool running() const;
    int step() const { return m_step; }

Q_SIGNALS:
    // The run reached its passes or its seconds, and its last frame is out.
    void finished();

private:
    void tick();
    void showStep();
    void timeUp();
    void showFrame(const QStringList &shown);
    void finish();
    bool passesDone() const;

    PacedSender &m_sender;
    QStringList m_text;
    int m_length;
    Frames m_frames;
    TickRoute m_route;
    QTimer *m_timer = nullptr;
    QTimer *m_deadline = nullptr;
    bool m_endsOnStart = true;
    bool m_ending = false; // the seconds are up; the start frame waits for the line
    int m_step = 0;
    int m_passes = 0;
    QStringList m_lastShown;
};
