#include "boundedtcpserver.h"
#include "chainservice.h"
#include "httpfront.h"
#include "listenaddress.h"
#include "mqttbridge.h"
#include "mqttclient.h"
#include "requestjudge.h"
#include "serviceoptions.h"
#include "tokenfile.h"

#include "core/atomicfile.h"
#include "core/basicutilities.h"
#include "core/signalwatcher.h"
#include "serial/portlist.h"
#include "session/programrules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <optional>

#include <malloc.h>

namespace {

// vornikd's exit statuses, as its manual page lists them.
enum Status { Done = 0, UsageError = 2, ListenError = 3, TokenError = 4, BrokerError = 5 };
// --mqtt-remove gives up when the broker has not taken the removal by then.
constexpr int kRemoveMs = 10000;
// How often freed memory goes back to the system.
constexpr int kTrimMs = 60000;
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

MqttTopics::Identity identity(const ServiceOptions &options, const QString &pageUrl)
{
    return {options.mqtt.id, options.mqtt.prefix, options.mqtt.discoveryPrefix, options.chain,
            pageUrl};
}

// Publishes empty retained discovery configurations, which removes the device from Home
// Assistant, and ends.
int removeDevice(const ServiceOptions &options)
{
    MqttSettings settings = options.mqtt;
    settings.clientId += "-remove";
    MqttClient client(settings);
    int status = BrokerError;
    QObject::connect(&client, &MqttClient::connected, [&] {
        for (const MqttTopics::Published &config :
             MqttTopics::discovery(identity(options, {}), true))
            client.publish(config.topic, config.payload, true);
    });
    QObject::connect(&client, &MqttClient::emptied, [&] {
        client.stop();
        status = Done;
        printOut("removed the device " + options.mqtt.id + " from " + options.mqtt.discoveryPrefix);
        QCoreApplication::exit(Done);
    });
    QObject::connect(&client, &MqttClient::disconnected,
                     [](const QString &why, int, bool) { printErr("mqtt: " + why); });
    QTimer::singleShot(kRemoveMs, [&] {
        printErr("mqtt: the broker did not take the removal");
        QCoreApplication::exit(BrokerError);
    });
    client.start();
    QCoreApplication::exec();
    return status;
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
    if (options.mqtt.remove)
        return removeDevice(options);
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
        printErr(openError + " Trying again, less often the longer it fails.");

    auto *server = new BoundedTcpServer({kMaxRequestBytes, options.maxClients,
                                         options.maxPerAddress, options.requestMs, options.idleMs});
    if (!server->listen(options.address, options.port)) {
        printErr(QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(options.address.toString())
                         .arg(options.port)
                         .arg(server->errorString()));
        delete server;
        return ListenError;
    }
    const RequestJudge::Context context{
            token.token,
            ListenAddress::hostNames(options.address, options.listenName, options.hosts),
            options.chain};
    HttpFront front(service, context, options.maxStreams);
    front.serve(server);

    // What another machine opens (or this one, when only loopback listens).
    const QString host = ListenAddress::publicHost(options.address, options.listenName);
    const QString page = QStringLiteral("http://%1:%2/").arg(host).arg(server->serverPort());
    printOut("listening on " + page);
    // For a program that finds the port taken: where to send instead.
    const QString addressFile = ProgramRules::serviceAddressFile(port.device);
    QDir().mkpath(QFileInfo(addressFile).path());
    writeFileAtomically(addressFile, page.chopped(1).toUtf8() + '\n');
    printOut((token.created ? "a new API token was written to " : "the API token is in ")
             + options.tokenFile);
    if (options.networkReachable())
        printErr("warning: listening on " + ListenAddress::hostForm(options.address)
                 + ", so the API is reachable from the network; anyone with the token can "
                   "drive the chain");

    MqttClient *mqtt = nullptr;
    if (options.mqtt.enabled()) {
        // Home Assistant's device page links to the live page when another machine can open it.
        mqtt = new MqttClient(options.mqtt, &app);
        new MqttBridge(service, *mqtt,
                       identity(options, options.address.isLoopback() ? QString() : page), context,
                       mqtt);
        const QString broker
                = QStringLiteral("%1:%2").arg(options.mqtt.host).arg(options.mqtt.port);
        QObject::connect(mqtt, &MqttClient::connected, [broker, options] {
            printErr("mqtt: connected to " + broker + " as " + options.mqtt.prefix);
        });
        QObject::connect(
                mqtt, &MqttClient::disconnected,
                [broker](const QString &why, int retryMs, bool wasConnected) {
                    printErr(QStringLiteral("mqtt: %1 %2: %3; trying again in %4 s")
                                     .arg(wasConnected ? "lost" : "cannot reach", broker, why)
                                     .arg(retryMs / 1000));
                });
        mqtt->start();
    }

    // Months of bursts (a pile of sockets, a long upload) leave the allocator's high-water mark
    // behind as resident memory; what is free goes back once a minute.
    auto *trim = new QTimer(&app);
    QObject::connect(trim, &QTimer::timeout, [] { malloc_trim(0); });
    trim->start(kTrimMs);

    QObject::connect(new SignalWatcher(&app), &SignalWatcher::terminationRequested, &app,
                     [&](int signal) {
                         // A service manager's reload, or a terminal closed under it, leaves the
                         // sign running.
                         if (signal == SIGHUP) {
                             printErr("SIGHUP: sending what the chain shows again");
                             service.paintAgain();
                             return;
                         }
                         if (mqtt) {
                             mqtt->publish(options.mqtt.prefix + "/availability", "offline", true);
                             const bool wasConnected = mqtt->isConnected();
                             mqtt->stop();
                             if (wasConnected)
                                 printErr("mqtt: disconnected from " + options.mqtt.host + ':'
                                          + QString::number(options.mqtt.port) + ", stopping");
                         }
                         // Every wait ends at once; the frame on the line goes out whole.
                         requestShutdown();
                         QCoreApplication::exit(Done);
                     });
    return QCoreApplication::exec();
}
