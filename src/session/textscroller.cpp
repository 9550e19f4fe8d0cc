#include "session/textscroller.h"

#include "modes/scrollsteps.h"
#include "protocol/messagecommands.h"
#include "session/pacedsender.h"

#include <QTimer>

TextScroller::TextScroller(PacedSender &sender, const QStringList &text, int length,
                           QObject *parent)
    : QObject(parent), m_sender(sender), m_text(text), m_length(length), m_timer(new QTimer(this)),
      m_deadline(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &TextScroller::tick);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &TextScroller::timeUp);
}

void TextScroller::start(int rateMs, int passes, int seconds)
{
    m_step = 0;
    m_passes = qMax(0, passes);
    m_ending = false;
    m_lastShown.clear();
    m_timer->start(qMax(1, rateMs));
    // The seconds end the run on a timer of their own, not at the next step.
    if (seconds > 0)
        m_deadline->start(seconds * 1000);
    else
        m_deadline->stop();
    // The first step goes out at once, not a rate later.
    QTimer::singleShot(0, this, &TextScroller::tick);
}

void TextScroller::stop()
{
    m_timer->stop();
    m_deadline->stop();
    m_ending = false;
}

bool TextScroller::running() const
{
    return m_timer->isActive();
}

bool TextScroller::passesDone() const
{
    return m_passes > 0 && m_step >= m_passes * ScrollSteps::stepsPerPass(m_text);
}

void TextScroller::tick()
{
    if (!running())
        return;
    if (!m_endsOnStart && (m_ending || passesDone())) {
        finish();
        return;
    }
    const auto step = [this] {
        if (!m_ending) {
            showStep();
            return;
        }
        showFrame(ScrollSteps::window(m_text, m_length, 0));
        finish();
    };
    if (m_route)
        m_route(step);
    else
        step();
}

void TextScroller::timeUp()
{
    m_ending = true;
    // Through the route like any step; a step it skips goes out at the next tick.
    tick();
}

void TextScroller::showStep()
{
    // The step after the last pass is the text's start again: the run ends on it.
    const bool last = passesDone();
    showFrame(ScrollSteps::window(m_text, m_length, m_step));
    // Only a step shown counts: a tick the queue skipped shows the same step next time.
    ++m_step;
    if (last)
        finish();
}

void TextScroller::showFrame(const QStringList &window)
{
    QStringList shown = m_text.size() > m_length ? window : m_text;
    while (shown.size() < m_length)
        shown.append(QStringLiteral(" "));
    if (shown == m_lastShown)
        return;
    m_lastShown = shown;
    m_sender.send(m_frames ? m_frames(shown)
                           : MessageCommands::message(shown.join(QString()).toLatin1()),
                  this);
}

void TextScroller::finish()
{
    stop();
    Q_EMIT finished();
}
