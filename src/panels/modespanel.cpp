#include "panels/modespanel.h"

#include "core/basicutilities.h"
#include "core/reentryguard.h"
#include "modes/modecommands.h"
#include "modes/modesteps.h"
#include "panels/workbench.h"
#include "widgets/filteredlineedit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kTimerStartInterval = 100;
constexpr int kFieldWidth = 56;

} // namespace

ModesPanel::ModesPanel(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("Modes"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildEnablers());
    layout->addLayout(buildFields());
    layout->addStretch();

    const QLocale locale = QLocale::system();
    m_timeFormat = locale.timeFormat(QLocale::ShortFormat);
    m_dateFormat = locale.dateFormat(QLocale::ShortFormat);
    startTimers();
}

QHBoxLayout *ModesPanel::buildEnablers()
{
    const QStringList captions{QStringLiteral("Animate"), QStringLiteral("Time"),
                               QStringLiteral("Date"), QStringLiteral("Count")};
    const QStringList boxTips{
            QString(),
            QStringLiteral("Writes the current PC time to the display, updating every second"),
            QStringLiteral("Writes the current date to the display"),
            QStringLiteral("Counts on the display using the animation delay")};
    auto *boxes = new QHBoxLayout;
    for (int i = 0; i < kModes; ++i) {
        m_enabler[i] = new QCheckBox(captions[i], this);
        m_enabler[i]->setObjectName(QStringLiteral("enabler_%1").arg(i));
        m_enabler[i]->setToolTip(boxTips[i]);
        connect(m_enabler[i], &QCheckBox::clicked, this, [this, i] { enablerClicked(i); });
        boxes->addWidget(m_enabler[i]);
    }
    boxes->addStretch();
    return boxes;
}

QGridLayout *ModesPanel::buildFields()
{
    const QStringList initial{QStringLiteral("48"), QStringLiteral("57"), QStringLiteral("100")};
    const QStringList fieldTips{
            QStringLiteral("Ascii character for start of animation (Default = \"0\")"), QString(),
            QStringLiteral("Animation delay in mS")};
    const QStringList labels{QStringLiteral("Start"), QStringLiteral("Stop"),
                             QStringLiteral("Delay")};
    const QStringList labelTips{QStringLiteral("ASCII code of animation sequence start"),
                                QStringLiteral("ASCII code of animation sequence stop"),
                                QStringLiteral("Delay in mS (1 to 2000) between characters")};
    auto *fields = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        m_label[i] = new QLabel(labels[i], this);
        m_label[i]->setObjectName(QStringLiteral("Label2_%1").arg(i));
        m_label[i]->setToolTip(labelTips[i]);
        m_label[i]->setAlignment(Qt::AlignCenter);
        m_animation[i] = new FilteredLineEdit(QStringLiteral("animation_%1").arg(i), this);
        m_animation[i]->setText(initial[i]);
        m_animation[i]->setToolTip(fieldTips[i]);
        m_animation[i]->setAlignment(Qt::AlignCenter);
        m_animation[i]->setFixedWidth(kFieldWidth);
        m_animation[i]->setKeyFilter([this, i](int code) {
            const ModeSteps::AnimationKey key = ModeSteps::animationKey(i, code);
            if (key.replaces)
                m_animation[i]->setText(key.replacement);
            return key.verdict;
        });
        connect(m_animation[i], &FilteredLineEdit::enterPressed, this,
                [this, i] { animationConfirmed(i); });
        connect(m_animation[i], &FilteredLineEdit::focusLost, this,
                [this, i] { animationConfirmed(i); });
        fields->addWidget(m_label[i], 0, i);
        fields->addWidget(m_animation[i], 1, i);
    }
    m_animation[ModeSteps::kDelayField]->setTypingLimit(ModeSteps::kDelayTypingLimit);

    m_xcount = new FilteredLineEdit(QStringLiteral("xcount"), this);
    m_xcount->setText(QStringLiteral("0"));
    m_xcount->setAlignment(Qt::AlignCenter);
    m_xcount->setFixedWidth(2 * kFieldWidth);
    m_xcount->setTypingLimit(ModeSteps::kCountTypingLimit);
    m_xcount->setEnterPassesOn(true);
    m_xcount->setKeyFilter(&KeyVerdict::digits);
    connect(m_xcount, &FilteredLineEdit::enterPressed, this, &ModesPanel::xcountEntered);
    connect(m_xcount, &FilteredLineEdit::focusLost, this, &ModesPanel::xcountLeft);
    auto *counterLabel = new QLabel(tr("Counter"), this);
    counterLabel->setBuddy(m_xcount);
    fields->addWidget(counterLabel, 0, 3);
    fields->addWidget(m_xcount, 1, 3);
    fields->setColumnStretch(4, 1);
    return fields;
}

void ModesPanel::startTimers()
{
    // Both timers run from the window's creation until it closes.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer1, &QTimer::timeout, this, [this] {
        if (m_automaticTicks)
            stepActiveMode();
    });
    setTimer1Interval(kTimerStartInterval);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    connect(m_timer2, &QTimer::timeout, this, [this] {
        if (m_automaticTicks)
            repairModeInterval();
    });
    m_timer2->start(kTimerStartInterval);
}

void ModesPanel::setClockSource(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}

void ModesPanel::setClockFormats(const QString &timeFormat, const QString &dateFormat)
{
    m_timeFormat = timeFormat;
    m_dateFormat = dateFormat;
}

void ModesPanel::setTimer1Interval(int interval)
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

void ModesPanel::enablerClicked(int index)
{
    if (index < 0 || index >= kModes)
        return;
    for (int i = 0; i < kModes; ++i) {
        if (i != index)
            m_enabler[i]->setChecked(false);
    }
    switch (index) {
    case Animate:
        setTimer1Interval(ModeSteps::delayInterval(m_animation[ModeSteps::kDelayField]->text()));
        m_workbench.setCurrentCodeText(m_animation[ModeSteps::kStartField]->text());
        break;
    case Time:
    case Date:
        // The first tick after choosing the mode sends at once.
        m_lastclock.clear();
        setTimer1Interval(ModeSteps::kClockInterval);
        break;
    case Count:
        setTimer1Interval(ModeSteps::delayInterval(m_animation[ModeSteps::kDelayField]->text()));
        break;
    }
}

void ModesPanel::stepActiveMode()
{
    // A tick that lets window events run while it sends must not start another one.
    if (m_steppingMode || shutdownRequested())
        return;
    const ReentryGuard guard(this, m_steppingMode);
    if (m_enabler[Animate]->isChecked())
        animateStep();
    if (m_enabler[Time]->isChecked())
        clockStep(false);
    if (m_enabler[Date]->isChecked())
        clockStep(true);
    if (m_enabler[Count]->isChecked())
        countStep();
}

void ModesPanel::repairModeInterval()
{
    if (m_timer1Interval >= 1)
        return;
    const int old = m_timer1Interval;
    setTimer1Interval(ModeSteps::kClockInterval);
    m_workbench.setStatus(QStringLiteral("Timer 1 interval was out of range at ")
                          + QString::number(old));
}

void ModesPanel::animationConfirmed(int index)
{
    std::array<QString, 3> texts;
    for (int i = 0; i < 3; ++i)
        texts[i] = m_animation[i]->text();
    ModeSteps::validateAnimation(texts, index);
    for (int i = 0; i < 3; ++i) {
        if (m_animation[i]->text() != texts[i])
            m_animation[i]->setText(texts[i]);
    }
    if (index == ModeSteps::kDelayField)
        setTimer1Interval(ModeSteps::delayInterval(texts[ModeSteps::kDelayField]));
}

void ModesPanel::xcountEntered()
{
    xcountLeft();
    if (ModeSteps::isDiagnosticCode(m_xcount->text()))
        m_workbench.setStatus(QStringLiteral("Timer interval is currently: ")
                              + QString::number(m_timer1Interval));
}

void ModesPanel::xcountLeft()
{
    const QString normalised = ModeSteps::counterNormalised(m_xcount->text());
    if (m_xcount->text() != normalised)
        m_xcount->setText(normalised);
}

void ModesPanel::animateStep()
{
    const int code = ModeSteps::animateNext(m_workbench.currentCodeText(),
                                            m_animation[ModeSteps::kStartField]->text(),
                                            m_animation[ModeSteps::kStopField]->text());
    m_workbench.setCurrentCodeText(QString::number(code));
    m_workbench.showCharacter(code);
    // The editor shows the character before it goes out.
    m_workbench.sendAll(this, ModeCommands::animate(code, m_workbench.chainLength()),
                        [this](const PacedCommand &) { m_workbench.showsegments(); });
}

void ModesPanel::clockStep(bool date)
{
    const QString digits = clockText(date);
    if (digits == m_lastclock)
        return;
    // The text just sent, not a second reading: a second or a day that turned meanwhile is
    // sent next tick.
    m_workbench.sendAll(this, ModeCommands::clock(digits), {},
                        [this, digits](bool) { m_lastclock = digits; });
}

void ModesPanel::countStep()
{
    m_workbench.sendAll(
            this, ModeCommands::count(m_xcount->text(), m_workbench.chainLength()), {},
            [this](bool) { m_xcount->setText(ModeSteps::counterNext(m_xcount->text())); });
}

QString ModesPanel::clockText(bool date) const
{
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTime();
    // The user's 12- or 24-hour clock and order of day, month and year, as six digits.
    return date ? ModeSteps::dateDigits(now.date(), m_dateFormat)
                : ModeSteps::timeDigits(now.time(), m_timeFormat);
}
