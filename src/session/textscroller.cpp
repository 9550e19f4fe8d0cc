#include "session/textscroller.h"

#include "modes/scrollsteps.h"
#include "protocol/messagecommands.h"
#include "session/pacedsender.h"

#include <QTimer>

TextScroller::TextScroller(PacedSender &sender, const QString &text, int length, QObject *parent)
    : QObject(parent), m_sender(sender), m_text(text), m_length(length), m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &TextScroller::tick);
}

void TextScroller::start(int rateMs, int passes, int seconds)
{
    m_step = 0;
    m_passes = qMax(0, passes);
    m_seconds = qMax(0, seconds);
    m_lastShown.clear();
    m_clock.start();
    m_timer->start(qMax(1, rateMs));
    // The first step goes out at once, not a rate later.
    QTimer::singleShot(0, this, &TextScroller::tick);
}

void TextScroller::stop()
{
    m_timer->stop();
}

bool TextScroller::running() const
{
    return m_timer->isActive();
}

bool TextScroller::over() const
{
    const bool passesDone = m_passes > 0 && m_step >= m_passes * ScrollSteps::stepsPerPass(m_text);
    const bool timeDone = m_seconds > 0 && m_clock.elapsed() >= m_seconds * 1000LL;
    return passesDone || timeDone;
}

void TextScroller::tick()
{
    if (!running())
        return;
    if (over()) {
        stop();
        Q_EMIT finished();
        return;
    }
    if (m_route)
        m_route([this] { showStep(); });
    else
        showStep();
}

void TextScroller::showStep()
{
    const QString shown = m_text.size() > m_length
                                  ? ScrollSteps::window(m_text, m_length, m_step)
                                  : m_text.leftJustified(m_length, QLatin1Char(' '));
    // Only a step shown counts: a tick the queue skipped shows the same step next time.
    ++m_step;
    if (shown == m_lastShown)
        return;
    m_lastShown = shown;
    m_sender.send(MessageCommands::message(shown.toLatin1()), this);
}
