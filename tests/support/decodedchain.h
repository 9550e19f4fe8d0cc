#pragma once

#include "protocol/framedecoder.h"
#include "session/chainstate.h"

#include <QByteArray>

class PtyPair;

// The far end of a line as a chain of digits: what the program wrote on a pseudo-terminal,
// decoded frame by frame into what the digits show.
class DecodedChain
{
public:
    explicit DecodedChain(PtyPair &line, int digits) : m_line(line), m_state(digits) {}

    // Reads what waits on the line and applies its frames.
    void pump();
    const ChainState &state() const { return m_state; }
    // Every byte read so far.
    const QByteArray &wire() const { return m_wire; }

private:
    PtyPair &m_line;
    FrameDecoder m_decoder;
    ChainState m_state;
    QByteArray m_wire;
};
