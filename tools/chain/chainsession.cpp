#include "chain/chainsession.h"

ChainSession::ChainSession(int digits, QObject *parent) : QObject(parent), m_state(digits)
{
    connect(&m_terminal, &PseudoTerminal::received, this, &ChainSession::receive);
}

bool ChainSession::open()
{
    return m_terminal.open();
}

void ChainSession::receive(const QByteArray &bytes)
{
    const QList<DecodedFrame> frames = m_decoder.feed(bytes);
    if (frames.isEmpty())
        return;
    for (const DecodedFrame &frame : frames) {
        const ChainState::Outcome outcome = m_state.apply(frame);
        if (!outcome.reply.isEmpty() && !m_terminal.write(outcome.reply))
            Q_EMIT reported(QStringLiteral("error: reply \"%1\" could not be sent")
                                    .arg(QString::fromLatin1(outcome.reply)),
                            true);
        m_lastReport = outcome.report;
        Q_EMIT reported(outcome.report, frame.kind == DecodedFrame::Kind::Malformed);
    }
    Q_EMIT stateChanged();
}
