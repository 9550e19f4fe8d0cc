#include "panels/chainview.h"

#include "panels/workbench.h"
#include "protocol/receiveformat.h"
#include "serial/seriallink.h"
#include "session/chainstatetracker.h"
#include "widgets/chainstrip.h"

#include <QHBoxLayout>

#include <algorithm>

ChainView::ChainView(Workbench &workbench, QWidget *parent)
    : QWidget(parent), m_workbench(workbench)
{
    m_strip = new ChainStrip(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_strip);
    connect(&m_workbench.link, &SerialLink::portOpenChanged, this, &ChainView::portChanged);
    portChanged(m_workbench.link.portopen());
}

ChainView::~ChainView() = default;

void ChainView::portChanged(bool open)
{
    // Another port may lead to another chain: what it shows is known from its first frames.
    m_tracker.reset();
    if (open) {
        m_tracker = std::make_unique<ChainStateTracker>(m_workbench.link, ChainState::kMaxDigits);
        connect(m_tracker.get(), &ChainStateTracker::stateChanged, this, &ChainView::refresh);
    }
    refresh();
}

void ChainView::refresh()
{
    if (!m_tracker) {
        m_strip->showNoPort();
        return;
    }
    const ChainState &state = m_tracker->state();
    const int digits = std::clamp(m_workbench.chainLength(), 1, ChainState::kMaxDigits);
    QStringList patterns;
    for (int digit = 0; digit < digits; ++digit)
        patterns.append(state.digitPattern(digit));
    m_strip->showDigits(patterns, controlTokens(state.characters().left(digits)));
}
