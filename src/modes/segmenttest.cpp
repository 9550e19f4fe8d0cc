#include "modes/segmenttest.h"

#include "font/fonttable.h"
#include "protocol/chainprotocol.h"
#include "protocol/messagecommands.h"

namespace {

constexpr int kShortPause = 2;
constexpr int kLongPause = 10;

QByteArray copies(int count, char c)
{
    return QByteArray(qMax(0, count), c);
}

} // namespace

QString SegmentTest::stepPattern(int step)
{
    const int on = qBound(0, step, FontTable::kSegments);
    return QString(on, QLatin1Char('1')) + QString(FontTable::kSegments - on, QLatin1Char('0'));
}

SegmentTest::Tick SegmentTest::tick(bool portopen, int chainLength)
{
    Tick tick;
    if (!portopen) {
        m_testrequest = false;
        return tick;
    }
    tick.showChanged = true;

    if (!m_testrequest) {
        tick.pattern = stepPattern(0);
        if (m_testactive) {
            m_testactive = false;
            tick.commands.append(MessageCommands::blank(chainLength));
        }
        return tick;
    }

    tick.running = true;
    if (!m_testactive) {
        m_testactive = true;
        tick.commands.append(MessageCommands::blank(chainLength));
        // Switch every digit to the user font and show character "0" with all segments off.
        tick.commands.append({'F', copies(chainLength, Protocol::kUserFont), kShortPause});
        tick.commands.append({'W', "0" + FontTable::allOff().toLatin1(), kLongPause});
        tick.commands.append({'M', copies(chainLength, '0'), kShortPause});
        m_teststep = 0;
    }
    tick.pattern = stepPattern(m_teststep);
    tick.commands.append({'F', "U", kShortPause});
    tick.commands.append({'M', "0", kShortPause});
    tick.showAt = static_cast<int>(tick.commands.size());
    tick.commands.append({'W', "0" + tick.pattern.toLatin1(), kLongPause});
    tick.commands.append({'M', copies(chainLength, '0'), kShortPause});
    m_teststep = (m_teststep + 1) % kSteps;
    return tick;
}
