#pragma once

#include "protocol/framedecoder.h"
#include "session/chainstate.h"

#include <QByteArray>
#include <QObject>

class SerialLink;

// What the chain shows, as the frames written to the line imply it: a model every front end
// can draw from without a chain answering back.
class ChainStateTracker : public QObject
{
    Q_OBJECT
public:
    // Follows every frame link writes to its open port.
    explicit ChainStateTracker(SerialLink &link, int digits = ChainState::kDefaultDigits,
                               QObject *parent = nullptr);

    const ChainState &state() const { return m_state; }

    // Bytes that went out on the line; a frame may arrive in pieces.
    void feed(const QByteArray &bytes);

Q_SIGNALS:
    // A frame changed what the chain shows.
    void stateChanged(const ChainState &state);

private:
    FrameDecoder m_decoder;
    ChainState m_state;
};
