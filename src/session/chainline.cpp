#include "session/chainline.h"

#include "core/basicutilities.h"
#include "core/errortext.h"
#include "protocol/chainprotocol.h"
#include "serial/dryrunport.h"
#include "serial/serialportcontrol.h"

#include <QCoreApplication>

ChainLine::ChainLine(bool dryRun, QObject *parent)
    : QObject(parent), m_port(dryRun ? std::unique_ptr<SerialPort>(new DryRunPort)
                                     : std::unique_ptr<SerialPort>(new SerialPortControl)),
      m_link(m_port.get()), m_sender(m_link)
{
    bool scaleOk = false;
    const double scale = qEnvironmentVariable("VORNIK_PAUSE_SCALE").toDouble(&scaleOk);
    setDelayScale(dryRun ? 0 : scaleOk && scale >= 0 ? scale : 1);
    // The link reports a failure once and closes the port.
    connect(&m_link, &SerialLink::writeFailed, this, [this](const PortError &error) {
        Q_EMIT failed(errortext(error.number, error.description));
    });
}

ChainLine::~ChainLine() = default;

bool ChainLine::open(const QString &device)
{
    if (!m_port->OpenPort(device, Protocol::lineSettings()))
        return false;
    m_link.setPortOpen(true);
    return true;
}

void ChainLine::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    requestShutdown();
    QCoreApplication::exit(status);
}
