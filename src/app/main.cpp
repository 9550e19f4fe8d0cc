#include "app/mainwindow.h"
#include "core/signalwatcher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>

#include <cstdio>

namespace {

const QString kExtraPort = QStringLiteral("extra-port");
const QString kPort = QStringLiteral("port");

void setUpParser(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Vornik control and test utility"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
            kExtraPort,
            QStringLiteral("Adds DEVICE to every port scan (repeatable), for devices the system "
                           "does not list, such as pseudo-terminals."),
            QStringLiteral("DEVICE")));
    parser.addOption(QCommandLineOption(
            kPort,
            QStringLiteral("Opens DEVICE at start-up as if it had been picked in the port list."),
            QStringLiteral("DEVICE")));
}

// False only where Qt would abort for want of a display: no X or Wayland display named, and
// no platform chosen that draws without one (offscreen, minimal, linuxfb, eglfs, vnc).
bool displayAvailable(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-platform" || argument == "--platform")
            platforms = QString::fromLocal8Bit(argv[i + 1]);
    }
    const QStringList names = platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        const QString plugin = name.section(QLatin1Char(':'), 0, 0);
        if (!plugin.startsWith(QLatin1String("xcb"))
            && !plugin.startsWith(QLatin1String("wayland")))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("vornik"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORNIK_VERSION_STRING));

    // Without a display QApplication aborts; --help and --version still answer, and anything
    // else says where to turn instead.
    if (!displayAvailable(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        setUpParser(parser);
        parser.process(app);
        std::fputs("vornik: needs a graphical session (no display found); vornikctl drives the "
                   "chain without one.\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    setUpParser(parser);
    parser.process(app);

    MainWindow::Options options;
    options.extraPorts = parser.values(kExtraPort);
    // The start device also joins every scan, so a rescan keeps it in the list.
    options.startPort = parser.value(kPort);
    if (!options.startPort.isEmpty() && !options.extraPorts.contains(options.startPort))
        options.extraPorts.append(options.startPort);
    MainWindow window(options);

    // Ctrl+C, SIGTERM and the end of the desktop session close through the window's own path.
    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &window,
                     &MainWindow::terminate);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.shutdown(MainWindow::ShutdownCause::Termination); });
#ifndef QT_NO_SESSIONMANAGER
    // The desktop session is ending: nobody is there to answer an alert.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.terminate(); });
#endif

    window.startup();
    if (window.shutdownDone())
        return 0;
    window.show();
    return app.exec();
}
