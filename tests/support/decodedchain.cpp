#include "support/decodedchain.h"

#include "support/ptypair.h"

void DecodedChain::pump()
{
    const QByteArray bytes = m_line.readAvailable();
    if (bytes.isEmpty())
        return;
    m_wire += bytes;
    for (const DecodedFrame &frame : m_decoder.feed(bytes))
        m_state.apply(frame);
}
