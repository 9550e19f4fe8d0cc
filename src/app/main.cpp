#include "app/mainwindow.h"
#include "core/signalwatcher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vornik"));
    QApplication::setApplicationVersion(QStringLiteral(VORNIK_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Vornik control and test utility"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption extraPort(
            QStringLiteral("extra-port"),
            QStringLiteral("Adds DEVICE to every port scan (repeatable), for devices the system "
                           "does not list, such as pseudo-terminals."),
            QStringLiteral("DEVICE"));
    parser.addOption(extraPort);
    const QCommandLineOption port(
            QStringLiteral("port"),
            QStringLiteral("Opens DEVICE at start-up as if it had been picked in the port list."),
            QStringLiteral("DEVICE"));
    parser.addOption(port);
    parser.process(app);

    MainWindow::Options options;
    options.extraPorts = parser.values(extraPort);
    // The start device also joins every scan, so a rescan keeps it in the list.
    options.startPort = parser.value(port);
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
