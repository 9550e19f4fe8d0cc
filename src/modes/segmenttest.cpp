#include "modes/segmenttest.h"

#include "font/fonttable.h"
#include "protocol/chainprotocol.h"
#include "protocol/messagecommands.h"

namespace {

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

CommandList SegmentTest::endCommands(int chainLength) const
{
    if (!m_wholeChain)
        return MessageCommands::blank(chainLength);
    return {{'F', copies(chainLength, '0'), Pause::kLong},
            {'M', copies(chainLength, ' '), Pause::kLong}};
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
            tick.commands.append(endCommands(chainLength));
        }
        return tick;
    }

    tick.running = true;
    if (!m_testactive) {
        m_testactive = true;
        tick.commands.append(endCommands(chainLength));
        // Switch every digit to the user font and show character "0" with all segments off.
        tick.commands.append({'F', copies(chainLength, Protocol::kUserFont), Pause::kTestStep});
        tick.commands.append({'W', "0" + FontTable::allOff().toLatin1(), Pause::kLong});
        tick.commands.append({'M', copies(chainLength, '0'), Pause::kTestStep});
        m_teststep = 0;
    }
    tick.pattern = stepPattern(m_teststep);
    tick.commands.append({'F', "U", Pause::kTestStep});
    tick.commands.append({'M', "0", Pause::kTestStep});
    tick.showAt = static_cast<int>(tick.commands.size());
    tick.commands.append({'W', "0" + tick.pattern.toLatin1(), Pause::kLong});
    tick.commands.append({'M', copies(chainLength, '0'), Pause::kTestStep});
    m_teststep = (m_teststep + 1) % kSteps;
    return tick;
}
