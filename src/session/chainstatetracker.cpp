#include "session/chainstatetracker.h"

#include "serial/seriallink.h"

ChainStateTracker::ChainStateTracker(SerialLink &link, int digits, QObject *parent)
    : QObject(parent), m_state(digits)
{
    connect(&link, &SerialLink::frameWritten, this, &ChainStateTracker::feed);
}

void ChainStateTracker::feed(const QByteArray &bytes)
{
    const ChainState before = m_state;
    for (const DecodedFrame &frame : m_decoder.feed(bytes))
        m_state.apply(frame);
    if (m_state != before)
        Q_EMIT stateChanged(m_state);
}
