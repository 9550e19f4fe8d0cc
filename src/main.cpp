#include "app/mainwindow.h"
#include "app/signalwatcher.h"

#include <QApplication>
#include <QCommandLineParser>

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
    parser.process(app);

    MainWindow::Options options;
    options.extraPorts = parser.values(extraPort);
    MainWindow window(options);

    // Ctrl+C, SIGTERM and the end of the desktop session close through the window's own path.
    SignalWatcher signals;
    QObject::connect(&signals, &SignalWatcher::terminationRequested, &window, &QWidget::close);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &MainWindow::shutdown);

    window.startup();
    if (window.shutdownDone())
        return 0;
    window.show();
    return app.exec();
}
