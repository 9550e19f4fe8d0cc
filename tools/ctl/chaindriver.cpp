#include "chaindriver.h"

#include "dryrunport.h"
#include "exitstatus.h"

#include "core/basicutilities.h"
#include "core/errortext.h"
#include "protocol/chainprotocol.h"
#include "serial/serialportcontrol.h"

#include <QCoreApplication>

#include <cstdio>

ChainDriver::ChainDriver(bool dryRun, QObject *parent)
    : QObject(parent), m_port(dryRun ? std::unique_ptr<SerialPort>(new DryRunPort)
                                     : std::unique_ptr<SerialPort>(new SerialPortControl)),
      m_link(m_port.get()), m_sender(m_link)
{
    bool scaleOk = false;
    const double scale = qEnvironmentVariable("VORNIK_PAUSE_SCALE").toDouble(&scaleOk);
    // A dry run does not pause; the scale speeds the pauses up for tests.
    setDelayScale(dryRun ? 0 : scaleOk && scale >= 0 ? scale : 1);
    if (dryRun) {
        connect(&m_link, &SerialLink::commandLogged, this, [](const LoggedCommand &command) {
            std::fputs(qPrintable(command.text + QLatin1Char('\n')), stdout);
            std::fflush(stdout);
        });
    }
    connect(&m_link, &SerialLink::writeFailed, this, [this](const PortError &error) {
        // The link reports a failure once and closes the port.
        std::fprintf(stderr, "\nvornikctl: the line failed while sending: %s\n",
                     qPrintable(errortext(error.number, error.description)));
        finish(Exit::LineFailed);
    });
}

bool ChainDriver::open(const QString &device)
{
    if (!m_port->OpenPort(device, Protocol::lineSettings())) {
        std::fprintf(stderr, "vornikctl: %s\n", qPrintable(m_port->lastError().description));
        return false;
    }
    m_link.setPortOpen(true);
    return true;
}

void ChainDriver::sendAndFinish(const CommandList &commands)
{
    const bool failed = m_sender.send(commands) == PacedSender::Outcome::LineFailed;
    finish(failed ? Exit::LineFailed : Exit::Done);
}

void ChainDriver::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    // Every wait ends at once and nothing more is sent, also from a wait inside a send.
    requestShutdown();
    QCoreApplication::exit(status);
}
