#include "boundedtcpserver.h"
#include "chainservice.h"
#include "httpfront.h"
#include "requestjudge.h"
#include "serviceoptions.h"
#include "tokenfile.h"

#include "core/basicutilities.h"
#include "core/signalwatcher.h"
#include "serial/portlist.h"

#include <QCoreApplication>

#include <cstdio>
#include <optional>

namespace {

// vornikd's exit statuses, as its manual page lists them.
enum Status { Done = 0, UsageError = 2, ListenError = 3, TokenError = 4 };
// A connection's request with its headers may not buffer more than this.
constexpr qint64 kMaxRequestBytes = RequestJudge::kMaxBody + 16 * 1024;

void printErr(const QString &text)
{
    std::fputs(qPrintable("vornikd: " + text + '\n'), stderr);
}

void printOut(const QString &text)
{
    std::fputs(qPrintable(text + '\n'), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const ServiceOptions options(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        printErr(options.error);
        return UsageError;
    }
    if (options.help) {
        std::fputs(qPrintable(options.text), stdout);
        return Done;
    }
    const std::optional<QString> named
            = options.device.isEmpty() ? std::nullopt : std::optional<QString>(options.device);
    const PortList::Choice port = PortList::choose(named, PortList::available());
    if (port.device.isEmpty()) {
        printErr(port.refusal);
        return UsageError;
    }
    if (!port.note.isEmpty())
        printErr(port.note);
    const TokenFile::Loaded token = TokenFile::loadOrCreate(options.tokenFile);
    if (!token.error.isEmpty()) {
        printErr(token.error);
        return TokenError;
    }

    ChainService service(port.device, options.chain, options.queueCapacity);
    const QString openError = service.start();
    if (!openError.isEmpty())
        printErr(openError + " Trying again every second.");

    auto *server = new BoundedTcpServer(kMaxRequestBytes, options.maxClients);
    if (!server->listen(options.address, options.port)) {
        printErr(QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(options.address.toString())
                         .arg(options.port)
                         .arg(server->errorString()));
        delete server;
        return ListenError;
    }
    HttpFront front(service, {token.token, options.hosts, options.chain}, options.maxStreams);
    front.serve(server);

    const QString host = options.address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? "[" + options.address.toString() + "]"
                                 : options.address.toString();
    printOut(QStringLiteral("listening on http://%1:%2/").arg(host).arg(server->serverPort()));
    printOut((token.created ? "a new API token was written to " : "the API token is in ")
             + options.tokenFile);
    if (options.networkReachable())
        printErr("warning: listening on " + host
                 + ", so the API is reachable from the network; anyone with the token can "
                   "drive the chain");

    QObject::connect(new SignalWatcher(&app), &SignalWatcher::terminationRequested, &app, [] {
        // Every wait ends at once; the frame on the line goes out whole.
        requestShutdown();
        QCoreApplication::exit(Done);
    });
    return QCoreApplication::exec();
}
