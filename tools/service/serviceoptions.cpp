#include "serviceoptions.h"

#include "configfile.h"
#include "core/basicutilities.h"
#include "protocol/chainprotocol.h"
#include "session/chaininput.h"
#include "tokenfile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

constexpr const char *kSystemConfig = "/etc/vornik/vornikd.conf";
// The keys only the configuration file has; the others are the options' names.
const char *const kFileKeys[] = {"queue",           "max-clients",     "max-streams",
                                 "max-per-address", "request-timeout", "idle-timeout"};

QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/vornik");
}

struct Refused
{
    QString text;
};

int positive(const QString &what, const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1)
        throw Refused{what + " takes a whole number from 1"};
    return value;
}

// Seconds with a fraction, as the time limits take them: the milliseconds.
int milliseconds(const QString &what, const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0.01 || value > 3600)
        throw Refused{what + " takes seconds from 0.01 to 3600, such as 10 or 0.5"};
    return static_cast<int>(value * 1000);
}

using Value = std::function<QString(const QString &name, const QString &fallback)>;
using Named = std::function<QString(const QString &name)>;

MqttSettings readMqtt(const Value &value, const Named &named, bool remove)
{
    MqttSettings mqtt;
    const QString broker = value("mqtt", {});
    mqtt.remove = remove;
    if (broker.isEmpty()) {
        if (mqtt.remove)
            throw Refused{"--mqtt-remove needs the broker (--mqtt HOST:PORT)"};
        return mqtt;
    }
    const qsizetype colon = broker.lastIndexOf(QLatin1Char(':'));
    mqtt.host = colon < 0 ? broker : broker.left(colon);
    if (mqtt.host.startsWith('[') && mqtt.host.endsWith(']'))
        mqtt.host = mqtt.host.mid(1, mqtt.host.size() - 2);
    if (colon >= 0) {
        bool ok = false;
        const uint number = broker.mid(colon + 1).toUInt(&ok);
        if (!ok || number < 1 || number > 65535 || mqtt.host.isEmpty())
            throw Refused{named("mqtt") + " takes HOST:PORT, such as 127.0.0.1:1883"};
        mqtt.port = static_cast<quint16>(number);
    }

    // The id goes into topics and Home Assistant's object ids: letters, digits, _ and -.
    static const QRegularExpression idRule(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    QString hostName = QSysInfo::machineHostName().section('.', 0, 0);
    hostName.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    mqtt.id = value("id", hostName.isEmpty() ? QStringLiteral("vornik") : hostName);
    if (!idRule.match(mqtt.id).hasMatch())
        throw Refused{named("id") + " takes 1 to 64 letters, digits, \"_\" or \"-\""};
    // A topic filter's wildcards have no place in a topic the service publishes on.
    const auto topic = [&](const QString &name, const QString &fallback) {
        QString text = value(name, fallback);
        while (text.endsWith('/'))
            text.chop(1);
        if (text.isEmpty() || text.contains('#') || text.contains('+') || text.startsWith('/'))
            throw Refused{named(name) + " takes a topic without \"#\" or \"+\""};
        return text;
    };
    mqtt.prefix = topic("mqtt-prefix", "vornik/" + mqtt.id);
    mqtt.discoveryPrefix = topic("discovery-prefix", QStringLiteral("homeassistant"));
    mqtt.user = value("mqtt-user", {});
    mqtt.clientId = value("mqtt-client-id", "vornikd-" + mqtt.id);
    mqtt.caFile = value("mqtt-ca-file", {});
    if (!mqtt.caFile.isEmpty() && !QFileInfo(mqtt.caFile).isReadable())
        throw Refused{named("mqtt-ca-file") + ": " + mqtt.caFile + " cannot be read"};
    QString passwordFile = value("mqtt-password-file", {});
    // Under systemd the password may come as the unit's credential (LoadCredential=).
    const QString credential
            = qEnvironmentVariable("CREDENTIALS_DIRECTORY") + QStringLiteral("/mqtt-password");
    if (passwordFile.isEmpty() && qEnvironmentVariableIsSet("CREDENTIALS_DIRECTORY")
        && QFileInfo::exists(credential))
        passwordFile = credential;
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            throw Refused{named("mqtt-password-file") + ": " + passwordFile + " cannot be read"};
        mqtt.password = QString::fromUtf8(file.readAll()).section('\n', 0, 0).trimmed();
    }
    return mqtt;
}

} // namespace

ServiceOptions::ServiceOptions(const QStringList &arguments)
{
    try {
        read(arguments);
    } catch (const Refused &refused) {
        error = refused.text;
    } catch (const ChainInput::Refusal &refusal) {
        error = refusal.text;
    }
}

void ServiceOptions::read(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            "Serves a chain of Vornik display modules to every client at once: an HTTP API with "
            "a token,\na live page and an event stream, one ordered queue to the line.");
    const QList<QCommandLineOption> options{
            {"port", "The serial device (or VORNIK_PORT, or the configuration file).", "DEVICE"},
            {"chain", "Digits in the chain, 1 to 10 (default 6).", "N"},
            {"listen",
             QStringLiteral("Address and port to listen on (default 127.0.0.1:%1; port 0 picks "
                            "a free one).")
                     .arg(kDefaultPort),
             "ADDR:PORT"},
            {"token-file", "The file holding the API token; made with a new token if missing.",
             "FILE"},
            {"config",
             QStringLiteral("The configuration file (default %1, else %2/vornikd.conf).")
                     .arg(kSystemConfig, userFolder()),
             "FILE"},
            {"hosts",
             "More names the API answers to in the Host header, comma-separated (besides "
             "localhost, the loopback addresses and the address listened on).",
             "NAME[,NAME]"},
            {"mqtt", "The MQTT broker to publish the chain on (default port 1883).", "HOST:PORT"},
            {"mqtt-user", "The broker's user name.", "NAME"},
            {"mqtt-password-file", "A file holding the broker's password.", "FILE"},
            {"mqtt-ca-file", "Talk TLS to the broker, trusting this CA certificate.", "FILE"},
            {"mqtt-client-id", "The MQTT client id (default vornikd-<id>).", "ID"},
            {"id", "Names the chain in topics and in Home Assistant (default: the host name).",
             "NAME"},
            {"mqtt-prefix", "The topic prefix (default vornik/<id>).", "TOPIC"},
            {"discovery-prefix",
             "Home Assistant's discovery prefix (default homeassistant); it must match Home "
             "Assistant's.",
             "TOPIC"},
            {"mqtt-remove", "Remove the chain's device from Home Assistant and end."},
            {{"h", "help"}, "Print this help."},
            {"version", "Print the version."}};
    parser.addOptions(options);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(arguments))
        throw Refused{parser.errorText() + " (see --help)"};
    if (!parser.positionalArguments().isEmpty())
        throw Refused{"unexpected argument \"" + parser.positionalArguments().first()
                      + "\" (see --help)"};
    if (parser.isSet("help") || parser.isSet("version")) {
        help = true;
        text = parser.isSet("help") ? parser.helpText()
                                              + "\nTesting aid: VORNIK_PAUSE_SCALE=F multiplies "
                                                "every pause by F.\n"
                                    : QStringLiteral("vornikd " VORNIK_VERSION_STRING "\n");
        return;
    }

    if (parser.isSet("config")) {
        configFile = parser.value("config");
        if (!QFileInfo(configFile).isReadable())
            throw Refused{"--config: " + configFile + " cannot be read"};
    } else if (QFileInfo::exists(kSystemConfig)) {
        configFile = kSystemConfig;
    } else if (QFileInfo::exists(userFolder() + "/vornikd.conf")) {
        configFile = userFolder() + "/vornikd.conf";
    }
    std::optional<ConfigFile> config;
    if (!configFile.isEmpty()) {
        QStringList known(std::begin(kFileKeys), std::end(kFileKeys));
        for (const QCommandLineOption &option : options)
            known.append(option.names().constLast());
        known.removeAll("config");
        known.removeAll("help");
        known.removeAll("version");
        config.emplace(configFile, known);
        if (!config->error.isEmpty())
            throw Refused{config->error};
    }
    // The keys of the file alone are no options the parser could be asked about.
    const auto given = [&](const QString &name) {
        return std::none_of(std::begin(kFileKeys), std::end(kFileKeys),
                            [&](const char *key) { return name == QLatin1String(key); })
               && parser.isSet(name);
    };
    const auto fromFile
            = [&](const QString &name) { return config ? config->value(name) : QString(); };
    const auto inFile = [&](const QString &name) { return config && config->contains(name); };
    // The command line wins over the file; the file's keys are the options' names.
    const auto value = [&](const QString &name, const QString &fallback = {}) {
        return given(name) ? parser.value(name) : inFile(name) ? fromFile(name) : fallback;
    };
    // A refusal starts with the option, or the file, line and key that gave the value.
    const auto named = [&](const QString &name) {
        return given(name) ? "--" + name : inFile(name) ? config->where(name) : name;
    };

    device = parser.isSet("port") ? parser.value("port") : qEnvironmentVariable("VORNIK_PORT");
    if (device.isEmpty())
        device = fromFile("port");
    if (inFile("chain") || parser.isSet("chain"))
        chain = ChainInput::number(named("chain"), value("chain"), 1, Protocol::kMaxDigits);

    const QString listen = value("listen", QStringLiteral("127.0.0.1:%1").arg(kDefaultPort));
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    QString host = listen.left(colon);
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    bool portOk = false;
    const uint portNumber = listen.mid(colon + 1).toUInt(&portOk);
    if (colon < 0 || host.isEmpty() || !portOk || portNumber > 65535)
        throw Refused{named("listen")
                      + QStringLiteral(" takes ADDR:PORT, such as 127.0.0.1:%1").arg(kDefaultPort)};
    port = static_cast<quint16>(portNumber);
    if (!address.setAddress(host)) {
        // A name: localhost, or one the resolver knows at start-up.
        const QList<QHostAddress> found = host.compare("localhost", Qt::CaseInsensitive) == 0
                                                  ? QList<QHostAddress>{QHostAddress::LocalHost}
                                                  : QHostInfo::fromName(host).addresses();
        if (found.isEmpty())
            throw Refused{named("listen") + ": " + host
                          + " is neither an address nor a name that resolves"};
        address = found.first();
        listenName = host.toLower();
    }

    tokenFile = value("token-file", TokenFile::defaultPath());
    hosts = value("hosts").split(',', Qt::SkipEmptyParts);
    for (QString &name : hosts) {
        name = name.trimmed().toLower();
        if (name.isEmpty() || name.contains(QRegularExpression(QStringLiteral("[\\s/@]"))))
            throw Refused{named("hosts")
                          + " takes host names, comma-separated, such as "
                            "sign.local,sign"};
    }
    const auto limit = [&](const QString &name, int &into) {
        if (inFile(name))
            into = positive(named(name), fromFile(name));
    };
    limit("queue", queueCapacity);
    limit("max-clients", maxClients);
    limit("max-streams", maxStreams);
    limit("max-per-address", maxPerAddress);
    if (inFile("request-timeout"))
        requestMs = milliseconds(named("request-timeout"), fromFile("request-timeout"));
    if (inFile("idle-timeout"))
        idleMs = milliseconds(named("idle-timeout"), fromFile("idle-timeout"));
    // The file's mqtt-remove = true is as good as the flag.
    const QString remove = fromFile("mqtt-remove");
    if (inFile("mqtt-remove") && remove != QLatin1String("true")
        && remove != QLatin1String("false"))
        throw Refused{named("mqtt-remove") + " takes true or false"};
    mqtt = readMqtt(value, named, parser.isSet("mqtt-remove") || remove == QLatin1String("true"));
}

bool ServiceOptions::networkReachable() const
{
    return !address.isLoopback();
}
