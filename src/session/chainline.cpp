#include "session/chainline.h"

#include "core/basicutilities.h"
#include "core/consoleoutput.h"
#include "core/errortext.h"
#include "core/exitstatus.h"
#include "core/signalwatcher.h"
#include "protocol/chainprotocol.h"
#include "serial/dryrunport.h"
#include "serial/portlock.h"
#include "serial/serialportcontrol.h"
#include "session/programrules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <unistd.h>
#include <utility>

namespace {

// How often a port another program holds is tried again.
constexpr int kRetryMs = 200;

} // namespace

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
        Q_EMIT failed((error.number == ErrorNumber::PortLost
                               ? QStringLiteral("the device is gone or the far end hung up (%1)")
                               : QStringLiteral("a write failed (%1)"))
                              .arg(error.description));
    });
}

ChainLine::~ChainLine() = default;

bool ChainLine::open(const QString &device, int waitSeconds)
{
    QElapsedTimer waited;
    waited.start();
    bool inUse = false;
    bool firstTry = true;
    while (!m_port->OpenPort(device, Protocol::lineSettings())) {
        m_openError = openFailure(device, inUse);
        if (!inUse || waited.elapsed() >= waitSeconds * qint64(1000))
            return false;
        if (std::exchange(firstTry, false))
            Q_EMIT waiting(m_openError);
        QEventLoop retry;
        QTimer::singleShot(kRetryMs, &retry, &QEventLoop::quit);
        retry.exec();
        if (m_finished) {
            m_openError = QStringLiteral("ended while waiting for %1").arg(device);
            return false;
        }
    }
    m_link.setPortOpen(true);
    return true;
}

QString ChainLine::openFailure(const QString &device, bool &inUse) const
{
    const PortError error = m_port->lastError();
    inUse = false;
    if (error.number == ErrorNumber::PortDoesNotExist)
        return QStringLiteral("the serial port %1 does not exist").arg(device);
    if (!error.refused)
        return error.description;
    if (const auto owner = PortLock::holder(device)) {
        inUse = true;
        // The service holds its port for good, so the way on is through it.
        const QString through = owner->name == QLatin1String("vornikd")
                                        ? "; send through the service instead: VORNIK_SERVICE="
                                                  + ProgramRules::serviceAddress(device)
                                                  + " vornikctl ..."
                                        : QString();
        return QStringLiteral("the serial port %1 is in use by process %2 (%3)%4")
                .arg(device)
                .arg(owner->pid)
                .arg(owner->name, through);
    }
    // QSerialPort takes "ttyUSB0" for /dev/ttyUSB0.
    const QString path = device.contains(QLatin1Char('/')) ? device : "/dev/" + device;
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno != ENOENT)
        return QStringLiteral("access to the serial port %1 was denied.").arg(device)
               + SerialPortControl::accessAdvice(device);
    inUse = true;
    return QStringLiteral("the serial port %1 is in use by another program").arg(device);
}

int ChainLine::exec(const QString &device, int waitSeconds, const std::function<void()> &plan)
{
    connect(this, &ChainLine::failed, this, [this](const QString &reason) {
        ConsoleOutput::say("the line failed while sending: " + reason);
        finish(Exit::LineFailed);
    });
    connect(this, &ChainLine::waiting, this,
            [](const QString &reason) { ConsoleOutput::say(reason + "; waiting for it"); });
    // A mode, the test and "message -" run until a signal; so may a wait for the port.
    connect(new SignalWatcher(this), &SignalWatcher::terminationRequested, this,
            [this](int signal) {
                m_stopSignal = signal;
                m_stopStatus = signal == SIGINT ? Exit::Interrupted : Exit::Done;
                m_stop ? m_stop() : finish(m_stopStatus);
            });
    QTimer::singleShot(0, this, [this, device, waitSeconds, plan] {
        if (open(device, waitSeconds))
            return plan();
        ConsoleOutput::say(m_openError);
        finish(Exit::PortError);
    });
    return QCoreApplication::exec();
}

void ChainLine::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    requestShutdown();
    QCoreApplication::exit(status);
}
