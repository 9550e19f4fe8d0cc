#pragma once

#include "chain/pseudoterminal.h"
#include "protocol/framedecoder.h"
#include "session/chainstate.h"

#include <QObject>

// One running virtual chain: bytes from the pseudo-terminal pass through the decoder into the
// chain state, and the probe's reply goes back on the line.
class ChainSession : public QObject
{
    Q_OBJECT
public:
    explicit ChainSession(int digits, QObject *parent = nullptr);

    // Opens the pseudo-terminal; false with errorString() when that fails.
    bool open();
    QString devicePath() const { return m_terminal.devicePath(); }
    QString errorString() const { return m_terminal.errorString(); }

    const ChainState &state() const { return m_state; }
    QString lastReport() const { return m_lastReport; }

    // Handles bytes as if they had arrived on the line.
    void receive(const QByteArray &bytes);

Q_SIGNALS:
    // One line per decoded frame; malformed is true for input that was skipped.
    void reported(const QString &line, bool malformed);
    void stateChanged();

private:
    PseudoTerminal m_terminal;
    FrameDecoder m_decoder;
    ChainState m_state;
    QString m_lastReport;
};
