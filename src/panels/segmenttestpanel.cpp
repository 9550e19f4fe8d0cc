#include "panels/segmenttestpanel.h"

#include "modes/segmenttest.h"
#include "panels/workbench.h"
#include "session/segmenttestrunner.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QColor kLightRed(255, 192, 192);
const QColor kLightGreen(192, 255, 192);

} // namespace

SegmentTestPanel::SegmentTestPanel(Workbench &workbench, QWidget *parent) : QGroupBox(parent)
{
    setTitle(tr("Segment test"));

    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("cmmd_0"));
    m_start->setToolTip(QStringLiteral("This starts the segment test routine"));
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_stop->setObjectName(QStringLiteral("cmmd_1"));
    m_stop->setToolTip(QStringLiteral("This stops the segment test routine"));
    // A click only records the request; the next tick acts on it.
    connect(m_start, &QPushButton::clicked, this, [this] { m_runner->requestStart(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_runner->requestStop(); });

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

    m_runner = new SegmentTestRunner(
            workbench.sender(), [&workbench] { return workbench.chainLength(); }, this);
    connect(m_runner, &SegmentTestRunner::runningShown, this, &SegmentTestPanel::showRunning);
    connect(m_runner, &SegmentTestRunner::patternShown, m_testrunning, &QLineEdit::setText);
    connect(m_runner, &SegmentTestRunner::stoppedByFailedLine, this, [this, &workbench] {
        showRunning(false);
        workbench.setStatus(QStringLiteral("Segment test stopped: the line failed"));
    });
}

void SegmentTestPanel::showRunning(bool running)
{
    QPalette palette = m_testrunning->palette();
    palette.setColor(QPalette::Base, running ? kLightGreen : kLightRed);
    m_testrunning->setPalette(palette);
}
