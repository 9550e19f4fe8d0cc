#include "panels/segmenttestpanel.h"

#include "core/basicutilities.h"
#include "core/reentryguard.h"
#include "panels/workbench.h"
#include "serial/seriallink.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kTickInterval = 250;
const QColor kLightRed(255, 192, 192);
const QColor kLightGreen(192, 255, 192);

} // namespace

SegmentTestPanel::SegmentTestPanel(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(tr("Segment test"));

    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("cmmd_0"));
    m_start->setToolTip(QStringLiteral("This starts the segment test routine"));
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setObjectName(QStringLiteral("cmmd_1"));
    m_stop->setToolTip(QStringLiteral("This stops the segment test routine"));
    // A click only records the request; the next tick acts on it.
    connect(m_start, &QPushButton::clicked, this, [this] { m_test.requestStart(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_test.requestStop(); });

    m_testrunning = new QLineEdit(SegmentTest::stepPattern(0), this);
    m_testrunning->setObjectName(QStringLiteral("testrunning"));
    m_testrunning->setReadOnly(true);
    m_testrunning->setAlignment(Qt::AlignCenter);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setBold(true);
    m_testrunning->setFont(font);
    m_testrunning->setToolTip(QStringLiteral("1 is segment on, 0 = segment off"));
    showRunning(false);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_start);
    layout->addWidget(m_stop);
    layout->addWidget(m_testrunning, 1);

    m_timer3 = new QTimer(this);
    m_timer3->setObjectName(QStringLiteral("Timer3"));
    connect(m_timer3, &QTimer::timeout, this, [this] {
        if (m_automaticTicks)
            runTestStep();
    });
    m_timer3->start(kTickInterval);
}

void SegmentTestPanel::showRunning(bool running)
{
    QPalette palette = m_testrunning->palette();
    palette.setColor(QPalette::Base, running ? kLightGreen : kLightRed);
    m_testrunning->setPalette(palette);
}

void SegmentTestPanel::runTestStep()
{
    // The start sequence pauses longer than a tick period; a tick that begins while the last
    // one is still sending would interleave two sequences on the line.
    if (m_inTick || shutdownRequested())
        return;
    const ReentryGuard guard(this, m_inTick);
    const SegmentTest::Tick tick
            = m_test.tick(m_workbench.link.portopen(), m_workbench.chainLength());
    if (!tick.showChanged)
        return; // no port: nothing shown, nothing sent
    showRunning(tick.running);
    if (tick.showAt >= tick.commands.size())
        m_testrunning->setText(tick.pattern);
    int next = 0;
    m_workbench.sendAll(this, tick.commands, [this, &tick, &next](const PacedCommand &) {
        if (next++ == tick.showAt)
            m_testrunning->setText(tick.pattern);
    });
}
