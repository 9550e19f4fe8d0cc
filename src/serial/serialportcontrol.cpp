#include "serial/serialportcontrol.h"

#include "core/errortext.h"
#include "serial/portlock.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

SerialPortControl::SerialPortControl(QObject *parent) : SerialPort(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::DataArrived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortControl::onError);
}

SerialPortControl::~SerialPortControl()
{
    SerialPortControl::ClosePort();
}

bool SerialPortControl::applySettings(QSerialPort &port, const QString &settings)
{
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int baud = parts.at(0).trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;
    const QString parity = parts.at(1).trimmed().toLower();
    QSerialPort::Parity parityValue = QSerialPort::NoParity;
    if (parity == QLatin1String("e"))
        parityValue = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        parityValue = QSerialPort::OddParity;
    else if (parity == QLatin1String("m"))
        parityValue = QSerialPort::MarkParity;
    else if (parity == QLatin1String("s"))
        parityValue = QSerialPort::SpaceParity;
    else if (parity != QLatin1String("n"))
        return false;
    const int dataBits = parts.at(2).trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return false;
    const QString stop = parts.at(3).trimmed();
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    if (stop == QLatin1String("2"))
        stopBits = QSerialPort::TwoStop;
    else if (stop == QLatin1String("1.5"))
        stopBits = QSerialPort::OneAndHalfStop;
    else if (stop != QLatin1String("1"))
        return false;
    port.setBaudRate(baud);
    port.setParity(parityValue);
    port.setDataBits(static_cast<QSerialPort::DataBits>(dataBits));
    port.setStopBits(stopBits);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return true;
}

PortError SerialPortControl::openError(QSerialPort::SerialPortError error, const QString &name,
                                       const QString &platformText)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return PortError{ErrorNumber::PortDoesNotExist,
                         QStringLiteral("The serial port %1 does not exist.").arg(name)};
    case QSerialPort::PermissionError:
        return PortError{
                ErrorNumber::PortBusy,
                QStringLiteral("The serial port %1 is in use or access to it was denied.").arg(name)
                        + accessAdvice(name),
                true};
    default:
        return PortError{ErrorNumber::PortBusy,
                         QStringLiteral("The serial port %1 could not be opened: %2")
                                 .arg(name, platformText)};
    }
}

QString SerialPortControl::accessAdvice(const QString &owner, const QString &group, uint mode)
{
    if ((mode & 0006) == 0006)
        return QStringLiteral("  Every user may open the device, so it is most likely in use.");
    // Joining root's group would not be a remedy but a risk.
    if ((mode & 0060) == 0060 && !group.isEmpty() && group != QLatin1String("root")) {
        return QStringLiteral("  If access was denied, add your user to the group that owns the "
                              "device (usually \"%1\") with \"sudo usermod -aG %1 $USER\", then "
                              "log out and back in.")
                .arg(group);
    }
    const QString who = owner.isEmpty() ? QStringLiteral("its owner")
                                        : QStringLiteral("its owner (\"%1\")").arg(owner);
    return QStringLiteral("  If access was denied: the device allows only %1.  The usual remedy "
                          "is a udev rule that gives the device to a group such as \"dialout\" "
                          "with read and write access, or ask the administrator for access.")
            .arg(who);
}

QString SerialPortControl::accessAdvice(const QString &name)
{
#ifdef Q_OS_LINUX
    const QString path = name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        const QFileInfo info(path);
        return accessAdvice(info.owner(), info.group(), status.st_mode & 0777);
    }
    // Nothing is known of the device: the usual set-up, a dialout group with access.
    return accessAdvice(QString(), QStringLiteral("dialout"), 0660);
#else
    Q_UNUSED(name);
    return QString();
#endif
}

bool SerialPortControl::OpenPort(const QString &name, const QString &settings)
{
    ClosePort();
    // QSerialPort takes a lock it cannot read (a terminal program's ten-character pid) for a
    // stale one and removes it: a live lock of any kind is judged here first, and respected.
    if (const auto owner = PortLock::holder(name)) {
        setLastError(PortError{ErrorNumber::PortBusy,
                               QStringLiteral("The serial port %1 is in use by process %2 (%3).")
                                       .arg(name)
                                       .arg(owner->pid)
                                       .arg(owner->name),
                               true});
        return false;
    }
    m_port.setPortName(name);
    if (!m_port.open(QIODevice::ReadWrite)) {
        setLastError(openError(m_port.error(), name, m_port.errorString()));
        m_port.clearError();
        return false;
    }
    // QSerialPort has opened it exclusively (TIOCEXCL): other users' opens fail as busy.
    PortLock::stamp(name);
    if (!applySettings(m_port, settings)) {
        m_port.close();
        setLastError(ErrorNumber::PortBusy,
                     QStringLiteral("Unsupported port settings \"%1\"").arg(settings));
        return false;
    }
    m_port.clear();
    return true;
}

void SerialPortControl::ClosePort()
{
    if (m_port.isOpen()) {
#ifdef Q_OS_UNIX
        // QSerialPort leaves the exclusive mode set: a device another program keeps open (a
        // pseudo-terminal's far end) would then shut out every later open but root's.
        ::ioctl(m_port.handle(), TIOCNXCL);
#endif
        m_port.close();
    }
    m_port.clearError();
}

bool SerialPortControl::SendText(const QByteArray &text)
{
    if (!m_port.isOpen()) {
        setLastError(ErrorNumber::PortWriteGone, QStringLiteral("The serial port is not open."));
        return false;
    }
    if (text.isEmpty())
        return true;
    const qsizetype direct = writeDirect(text);
    if (direct == text.size())
        return true;
    // What the device did not take at once goes through the port's own buffer, and so does a
    // failed write, so that the port reports the failure as it always does.
    const QByteArray rest = text.mid(direct);
    if (m_port.write(rest) != rest.size()) {
        setLastError(ErrorNumber::PortWriteGone, m_port.errorString());
        ClosePort();
        return false;
    }
    // Hand the bytes to the device now, so the caller's pause starts when they leave.
    m_port.flush();
    return true;
}

qsizetype SerialPortControl::writeDirect(const QByteArray &text)
{
#ifdef Q_OS_UNIX
    // A frame is far smaller than the device's buffer. Written straight to it, the port's write
    // notifier is not switched on and off for every frame, each switch waking the event loop.
    if (m_port.bytesToWrite() > 0)
        return 0;
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(m_port.handle(), text.constData() + done,
                                        static_cast<size_t>(text.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += written;
    }
    return done;
#else
    Q_UNUSED(text)
    return 0;
#endif
}

QByteArray SerialPortControl::ReceivedText()
{
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

void SerialPortControl::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError) {
        m_port.clearError();
        return;
    }
    // A vanished device repeats its error for as long as the port stays open: close it at once
    // and report once.
    const PortError report{error == QSerialPort::WriteError ? ErrorNumber::PortWriteGone
                                                            : ErrorNumber::PortLost,
                           m_port.errorString()};
    m_port.close();
    m_port.clearError();
    setLastError(report.number, report.description);
    Q_EMIT PortFailed(report);
}
