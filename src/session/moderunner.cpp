#include "session/moderunner.h"

#include "core/basicutilities.h"
#include "core/reentryguard.h"
#include "modes/modecommands.h"
#include "modes/modesteps.h"
#include "serial/seriallink.h"
#include "session/pacedsender.h"

#include <QLocale>
#include <QPointer>
#include <QTimer>

namespace {

// Timer1 starts at the delay field's default; Timer2 checks it at the same period.
constexpr int kTimerStartInterval = ModeSteps::kDefaultDelay;

} // namespace

ModeRunner::ModeRunner(PacedSender &sender, ModeInputs &inputs, QObject *timerParent)
    : QObject(timerParent), m_sender(sender), m_inputs(inputs)
{
    const QLocale locale = QLocale::system();
    m_timeFormat = locale.timeFormat(QLocale::ShortFormat);
    m_dateFormat = locale.dateFormat(QLocale::ShortFormat);

    // Both timers run from the start until their parent goes.
    m_timer1 = new QTimer(timerParent);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &QTimer::timeout, this, [this] {
        if (!m_automaticTicks)
            return;
        if (m_tickRoute)
            m_tickRoute([this] { stepActiveMode(); });
        else
            stepActiveMode();
    });
    setTimer1Interval(kTimerStartInterval);
    m_timer2 = new QTimer(timerParent);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    connect(m_timer2, &QTimer::timeout, this, [this] {
        if (m_automaticTicks)
            repairModeInterval();
    });
    m_timer2->start(kTimerStartInterval);
    connect(&m_sender.link(), &SerialLink::writeFailed, this, &ModeRunner::stopOnFailedLine);
}

void ModeRunner::stopOnFailedLine()
{
    for (int index = 0; index < ModeInputs::kModes; ++index) {
        const auto mode = static_cast<Mode>(index);
        if (!m_inputs.modeOn(mode))
            continue;
        m_inputs.stopMode(mode);
        Q_EMIT stoppedByFailedLine(mode);
    }
}

void ModeRunner::setClockFormats(const QString &timeFormat, const QString &dateFormat)
{
    m_timeFormat = timeFormat;
    m_dateFormat = dateFormat;
}

void ModeRunner::setTimer1Interval(int interval)
{
    // A Qt timer at 0 ms would fire without pause; below 1 the timer rests until Timer2
    // repairs the interval, which stays readable meanwhile.
    m_timer1Interval = interval;
    if (interval < 1) {
        m_timer1->stop();
        return;
    }
    m_timer1->start(interval);
}

void ModeRunner::modeChosen(Mode mode, const QString &delay)
{
    switch (mode) {
    case ModeInputs::Animate:
    case ModeInputs::Count:
        setTimer1Interval(ModeSteps::delayInterval(delay));
        break;
    case ModeInputs::Time:
    case ModeInputs::Date:
        // The first tick after choosing the mode sends at once.
        m_lastclock.clear();
        setTimer1Interval(ModeSteps::kClockInterval);
        break;
    }
}

void ModeRunner::delayChanged(const QString &delay)
{
    setTimer1Interval(ModeSteps::delayInterval(delay));
}

void ModeRunner::stepActiveMode()
{
    // A tick that lets events run while it sends must not start another one.
    if (m_stepping || shutdownRequested())
        return;
    const ReentryGuard guard(this, m_stepping);
    // The window's runner goes with its panel, which may be deleted while a step sends; the
    // inputs are then gone too.
    const QPointer<ModeRunner> self(this);
    if (m_inputs.modeOn(ModeInputs::Animate))
        animateStep();
    if (self && m_inputs.modeOn(ModeInputs::Time))
        clockStep(false);
    if (self && m_inputs.modeOn(ModeInputs::Date))
        clockStep(true);
    if (self && m_inputs.modeOn(ModeInputs::Count))
        countStep();
}

void ModeRunner::repairModeInterval()
{
    if (m_timer1Interval >= 1)
        return;
    const int old = m_timer1Interval;
    setTimer1Interval(ModeSteps::kClockInterval);
    Q_EMIT statusMessage(QStringLiteral("Timer 1 interval was out of range at ")
                         + QString::number(old));
}

void ModeRunner::animateStep()
{
    const int code = ModeSteps::animateNext(m_inputs.codeText(), m_inputs.startText(),
                                            m_inputs.stopText());
    // The code is shown before it goes out.
    m_inputs.showCode(code);
    m_sender.send(ModeCommands::animate(code, m_inputs.chainLength()), this,
                  [this](const PacedCommand &) { m_inputs.beforeAnimateCommand(); });
}

void ModeRunner::clockStep(bool date)
{
    const QString digits = clockText(date);
    if (digits == m_lastclock)
        return;
    // The text just sent, not a second reading: a second or a day that turned meanwhile is
    // sent next tick.
    const QString frame = m_inputs.fillsChain()
                                  ? digits.leftJustified(m_inputs.chainLength(), QLatin1Char(' '))
                                  : digits;
    if (m_sender.send(ModeCommands::clock(frame), this) != PacedSender::Outcome::Stopped)
        m_lastclock = digits;
}

void ModeRunner::countStep()
{
    const CommandList commands
            = ModeCommands::count(m_inputs.counterText(), m_inputs.chainLength());
    if (m_sender.send(commands, this) != PacedSender::Outcome::Stopped)
        m_inputs.setCounterText(ModeSteps::counterNext(m_inputs.counterText()));
}

QString ModeRunner::clockText(bool date) const
{
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    // The user's 12- or 24-hour clock and order of day, month and year, as six digits.
    return date ? ModeSteps::dateDigits(now.date(), m_dateFormat)
                : ModeSteps::timeDigits(now.time(), m_timeFormat);
}
