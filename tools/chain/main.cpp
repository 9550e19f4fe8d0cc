#include "chain/chainname.h"
#include "chain/chainoptions.h"
#include "chain/chainsession.h"
#include "chain/chainwindow.h"
#include "core/signalwatcher.h"
#include "serial/portlist.h"

#include <QApplication>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {
void printLine(FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}
} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ChainOptions options = ChainOptions::parse(arguments);
    if (!options.error.isEmpty()) {
        printLine(stderr, QStringLiteral("vornik-chain: ") + options.error + QLatin1Char('\n')
                                  + ChainOptions::helpText());
        return 2;
    }
    if (options.help) {
        std::fputs(ChainOptions::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    // A reader that goes away must not kill the chain in the middle of a line.
    std::signal(SIGPIPE, SIG_IGN);

    // --dump needs no display at all.
    std::unique_ptr<QCoreApplication> app = options.dump
                                                    ? std::make_unique<QCoreApplication>(argc, argv)
                                                    : std::make_unique<QApplication>(argc, argv);
    ChainSession session(options.digits);
    if (!session.open()) {
        printLine(stderr, QStringLiteral("vornik-chain: ") + session.errorString());
        return 1;
    }
    // A stop by a signal ends through exec, so that the name is removed; watched from before
    // the name is made.
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, app.get(),
                     &QCoreApplication::quit);
    // The first line is the device, the second the name to open it by: a link that the next
    // start of a chain takes again, so the utility finds a restarted chain where it was.
    printLine(stdout, session.devicePath());
    ChainName name;
    if (!name.claim(session.devicePath(), PortList::virtualChainDir()))
        printLine(stderr, QStringLiteral("vornik-chain: no stable name: ") + name.errorString());
    printLine(stdout, name.path().isEmpty() ? session.devicePath() : name.path());

    QObject::connect(&session, &ChainSession::reported, [&](const QString &line, bool malformed) {
        if (options.dump)
            printLine(stdout, line);
        else if (malformed)
            printLine(stderr, line);
    });
    std::unique_ptr<ChainWindow> window;
    if (!options.dump) {
        window = std::make_unique<ChainWindow>(session);
        window->show();
    }
    return app->exec();
}
