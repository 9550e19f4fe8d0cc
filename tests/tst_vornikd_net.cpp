#include "support/ptypair.h"
#include "support/serviceprocess.h"
#include "support/testhelpers.h"

#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <vector>

namespace {

constexpr int kTimeoutMs = 20000;

// The loopback port a service listens on.
quint16 portOf(const ServiceProcess &service)
{
    return static_cast<quint16>(QUrl(service.url()).port());
}

// One connection written by hand, from a chosen loopback address.
class Client
{
public:
    bool open(quint16 port, const QString &from = "127.0.0.1", const QString &to = "127.0.0.1")
    {
        m_socket.bind(QHostAddress(from));
        m_socket.connectToHost(QHostAddress(to), port);
        return m_socket.waitForConnected(kTimeoutMs);
    }
    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // Whether the service ends the connection.
    bool ended()
    {
        return QTest::qWaitFor(
                [this] {
                    m_got += m_socket.readAll();
                    return m_socket.state() == QAbstractSocket::UnconnectedState;
                },
                kTimeoutMs);
    }
    // What the service sent.
    QByteArray got() const { return m_got; }
    int status() const { return m_got.startsWith("HTTP/1.1 ") ? m_got.mid(9, 3).toInt() : 0; }

private:
    QTcpSocket m_socket;
    QByteArray m_got;
};

// A request that asks for its connection to end once answered.
QByteArray request(const QString &call, const QString &host, const QByteArray &authorization)
{
    return call.toUtf8() + " HTTP/1.1\r\nHost: " + host.toUtf8()
           + (authorization.isEmpty() ? QByteArray() : "\r\nAuthorization: " + authorization)
           + "\r\nConnection: close\r\n\r\n";
}

} // namespace

// vornikd on the network: what one client can do to the others, the names it answers to, and
// the mistakes in its configuration and token file that it refuses to run with.
class TestVornikdNet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && m_line.isValid());
        // The token, made once with the right mode.
        ServiceProcess first(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(first.startWith(arguments("")));
        m_token = readFile(m_dir.filePath("token")).trimmed();
        QVERIFY(!m_token.isEmpty());
    }

    void crowdCannotShutOthersOut_data()
    {
        QTest::addColumn<QStringList>("from"); // one connection from each address listed
        QTest::addColumn<QByteArray>("sends");
        QTest::addColumn<QByteArray>("logged");
        const QStringList one(10, "127.0.0.2");
        QStringList many;
        for (int i = 0; i < 10; ++i)
            many.append(QStringLiteral("127.0.0.%1").arg(2 + i % 5));
        // clang-format off
        QTest::newRow("silent, from one address") << one << QByteArray() << QByteArray("per address (from 127.0.0.2 x");
        QTest::newRow("a request begun, from one address") << one << QByteArray("GET / HTTP/1.1\r\nHo") << QByteArray("per address (from 127.0.0.2 x");
        QTest::newRow("silent, from many addresses") << many << QByteArray() << QByteArray("dropped for new clients");
        // clang-format on
    }
    // Connections that send no whole request take neither every place nor the last one from a
    // client with the token; the refusals are summed up in the log.
    void crowdCannotShutOthersOut()
    {
        QFETCH(QStringList, from);
        QFETCH(QByteArray, sends);
        QFETCH(QByteArray, logged);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(arguments("max-clients = 4\nmax-per-address = 2\n")));
        std::vector<std::unique_ptr<Client>> crowd;
        for (const QString &address : from) {
            crowd.push_back(std::make_unique<Client>());
            QVERIFY(crowd.back()->open(portOf(service), address));
            crowd.back()->send(sends);
        }
        Client client;
        QVERIFY(client.open(portOf(service)));
        client.send(request("GET /api/v1/info", "localhost", "Bearer " + m_token));
        QVERIFY(client.ended());
        QCOMPARE(client.status(), 200);
        QVERIFY2(QTest::qWaitFor([&] { return service.errors().contains(logged); }, kTimeoutMs),
                 service.errors().constData());
    }

    void connectionsEnd_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status"); // of the answer before the end
        const QByteArray quick = "request-timeout = 0.2\nidle-timeout = 0.2\n";
        // clang-format off
        QTest::newRow("a request not whole in time") << quick << QByteArray("GET / HTTP/1.1\r\n") << 408;
        QTest::newRow("kept alive, then idle") << quick << QByteArray("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n") << 200;
        // The limits as they are by default: only the request's own wish ends it in time.
        QTest::newRow("Connection: close") << QByteArray() << request("GET /", "localhost", {}) << 200;
        // clang-format on
    }
    // The service ends a connection whose request does not arrive in time, one left idle, and
    // one whose client asked for it.
    void connectionsEnd()
    {
        QFETCH(QByteArray, config);
        QFETCH(QByteArray, request);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(arguments(config)));
        Client client;
        QVERIFY(client.open(portOf(service)));
        client.send(request);
        QVERIFY(client.ended());
        QTEST(client.status(), "status");
    }

    void answers_data()
    {
        QTest::addColumn<QStringList>("listen"); // the address, and options of its own
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("host");             // "printed": as the printed URL says
        QTest::addColumn<QByteArray>("authorization"); // TOKEN: the token; WRONG: another as long
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArrayList>("headers");
        const auto row = [](const char *name, const QString &listen, const QString &call,
                            const QString &host, const QByteArray &authorization, int status,
                            const QByteArrayList &headers = {}) {
            QTest::newRow(name) << listen.split(' ') << call << host << authorization << status
                                << headers;
        };
        const QString info = "GET /api/v1/info";
        const QString local = "127.0.0.1:0";
        // clang-format off
        row("a name given with --hosts", local + " --hosts sign.example,Other", info, "sign.example", "Bearer TOKEN", 200);
        row("the address listened on, as printed", "127.0.0.2:0", info, "printed", "Bearer TOKEN", 200);
        row("every interface: as printed", "0.0.0.0:0", info, "printed", "Bearer TOKEN", 200);
        row("every interface: the machine's name", "0.0.0.0:0", info, QHostInfo::localHostName(), "Bearer TOKEN", 200);
        row("every interface: another site", "0.0.0.0:0", info, "evil.example", "Bearer TOKEN", 421);
        row("a name listened on", "localhost:0", info, "printed", "Bearer TOKEN", 200);
        row("the page", local, "GET /", "localhost", {}, 200, {"content-security-policy: default-src 'self'", "frame-ancestors 'none'", "\r\nx-frame-options: deny\r\n", "\r\nx-content-type-options: nosniff\r\n", "\r\nreferrer-policy: no-referrer\r\n"});
        row("no token", local, info, "localhost", {}, 401, {"\r\nwww-authenticate: bearer realm=\"vornikd\"\r\n"});
        row("a wrong token of the right length", local, info, "localhost", "Bearer WRONG", 401, {"\r\nwww-authenticate: bearer"});
        row("a wrong method", local, "GET /api/v1/message", "localhost", "Bearer TOKEN", 405, {"\r\nallow: post\r\n"});
        row("the scheme in lower case", local, info, "localhost", "bearer TOKEN", 200);
        // clang-format on
    }
    // The printed URL is one another machine can open, the names it gives are accepted as Host
    // and another site's name is not; what the answers tell a browser and a client besides
    // their status.
    void answers()
    {
        QFETCH(QStringList, listen);
        QFETCH(QString, call);
        QFETCH(QString, host);
        QFETCH(QByteArray, authorization);
        QFETCH(int, status);
        QFETCH(QByteArrayList, headers);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(arguments("", listen[0]) + listen.mid(1)));
        const QUrl url(service.url());
        const QString printed = url.host();
        QVERIFY2(printed != "0.0.0.0" && printed != "::", qPrintable(printed));
        if (listen[0].startsWith("0.0.0.0"))
            QVERIFY2(!QHostAddress(printed).isLoopback(), qPrintable(printed));
        // Aimed at loopback always; the Host header stands for the name another machine uses.
        const QHostAddress target(printed);
        Client client;
        QVERIFY(client.open(portOf(service), "127.0.0.1",
                            target.isLoopback() ? target.toString() : "127.0.0.1"));
        client.send(request(call, host == "printed" ? url.authority() : host,
                            authorization.replace("TOKEN", m_token)
                                    .replace("WRONG", QByteArray(m_token.size(), 'x'))));
        QVERIFY(client.ended());
        QVERIFY2(client.status() == status, client.got().constData());
        const QByteArray head = client.got().left(client.got().indexOf("\r\n\r\n") + 2).toLower();
        for (const QByteArray &header : headers)
            QVERIFY2(head.contains(header), head.constData());
    }

    void refusedStarts_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<int>("mode"); // of a token file of token's; QFile's flags: 0x6644 is 644
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<int>("status");      // 0: taken without a word
        QTest::addColumn<QString>("refusal"); // FILE stands for the file's path
        const auto row = [](const char *name, const QByteArray &config, int status,
                            const QString &refusal, int mode = 0, const QByteArray &token = {}) {
            QTest::newRow(name) << config << mode << token << status << refusal;
        };
        const QByteArray good = QByteArray(32, 'a');
        // clang-format off
        row("a section", "chain = 6\n[vornikd]\n", 2, "FILE:2: \"[vornikd]\": the file has no sections");
        row("a misspelt key", "# the sign\nchian = 6\n", 2, "FILE:2: unknown key \"chian\"; did you mean \"chain\"?");
        row("a bad value", "\nchain = 11\n", 2, "FILE:2: chain");
        row("a key twice", "chain = 6\nchain = 4\n", 2, "FILE:2: chain is given twice (also on line 1)");
        row("a bad time limit", "idle-timeout = soon\n", 2, "FILE:1: idle-timeout takes seconds");
        row("a comment after a value", "chain = 4 # four digits\nidle-timeout = 30 # as it is\n", 0, {});
        // A token that is no secret is not trusted.
        row("a token others may read", {}, 4, "chmod 600 FILE", 0x6644, good);
        row("a token the group may write", {}, 4, "chmod 600 FILE", 0x6620, good);
        row("a token too short", {}, 4, "the token is 3 characters", 0x6600, "abc\n");
        // clang-format on
    }
    // A mistake in the configuration file stops the start with its file, line and key, and the
    // fix; so does a weak token file.
    void refusedStarts()
    {
        QFETCH(QByteArray, config);
        QFETCH(int, mode);
        QFETCH(QByteArray, token);
        QFETCH(int, status);
        QFETCH(QString, refusal);
        QStringList given = arguments(config);
        QString file = m_dir.filePath("conf");
        if (mode != 0) {
            file = given.last() = m_dir.filePath("weak");
            QFile::remove(file);
            QVERIFY(writeFile(file, token));
            QVERIFY(QFile::setPermissions(file, QFile::Permissions(mode)));
        }
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        const bool started = service.startWith(given);
        const QString errors = QString::fromUtf8(service.errors());
        if (status == 0) {
            QVERIFY2(started && errors.isEmpty(), qPrintable(errors));
            return;
        }
        QVERIFY(!started);
        QCOMPARE(service.refused(), status);
        QVERIFY2(errors.contains(refusal.replace("FILE", file)), qPrintable(errors));
    }

    void brokerCertificates_data()
    {
        QTest::addColumn<QString>("ca"); // the CA vornikd trusts
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("cause");
        QTest::newRow("signed by another CA") << "other"
                                              << "127.0.0.1" << QByteArray("issuer certificate");
        QTest::newRow("made out to another host") << "ca"
                                                  << "localhost" << QByteArray("host name");
    }
    // A broker whose certificate is refused: the log says why, not only that TLS failed.
    void brokerCertificates()
    {
        QFETCH(QString, ca);
        QFETCH(QString, host);
        QFETCH(QByteArray, cause);
        if (m_broker.state() == QProcess::NotRunning)
            QVERIFY(startTlsBroker());
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(arguments("")
                                  + QStringList{"--mqtt", host + ':' + QString::number(m_tlsPort),
                                                "--mqtt-ca-file", m_dir.filePath(ca + ".pem"),
                                                "--id", "tls"}));
        QVERIFY2(QTest::qWaitFor([&] { return service.errors().contains("mqtt: cannot reach"); },
                                 kTimeoutMs),
                 service.errors().constData());
        const QByteArray said = service.errors();
        QVERIFY2(said.contains(cause), said.constData());
        QVERIFY2(cause == "host name" || !said.contains("host name"), said.constData());
    }

private:
    // A broker on a TLS port of 127.0.0.1 with a certificate for that address signed by ca.pem;
    // other.pem is a CA that did not sign it.
    bool startTlsBroker()
    {
        const auto certificate = [&](const QString &name, const QStringList &signer) {
            QProcess run;
            run.setWorkingDirectory(m_dir.path());
            run.start("openssl",
                      QStringList{"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                  "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-keyout",
                                  name + ".key", "-out", name + ".pem", "-subj", "/CN=test " + name}
                              + signer);
            return run.waitForFinished(kTimeoutMs) && run.exitCode() == 0;
        };
        if (!certificate("ca", {}) || !certificate("other", {})
            || !certificate("server", {"-CA", "ca.pem", "-CAkey", "ca.key", "-addext",
                                       "subjectAltName=IP:127.0.0.1"}))
            return false;
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_tlsPort = probe.serverPort();
        probe.close();
        // Run as root, the broker reads its files as the user mosquitto.
        for (const char *file : {"server.pem", "server.key"})
            QFile::setPermissions(m_dir.filePath(file), QFile::Permissions(0x4444));
        QFile::setPermissions(m_dir.path(), QFile::Permissions(0x7755));
        writeFile(m_dir.filePath("broker.conf"),
                  QStringLiteral("listener %1 127.0.0.1\ncertfile %2.pem\nkeyfile %2.key\n"
                                 "allow_anonymous true\n")
                          .arg(m_tlsPort)
                          .arg(m_dir.filePath("server"))
                          .toUtf8());
        m_broker.start("mosquitto", {"-c", m_dir.filePath("broker.conf")});
        return QTest::qWaitFor([&] { return Client().open(m_tlsPort); }, kTimeoutMs);
    }

    // A service on the line with a configuration file of config's lines.
    QStringList arguments(const QByteArray &config, const QString &listen = "127.0.0.1:0")
    {
        const QString path = m_dir.filePath("conf");
        writeFile(path, config);
        return {"--port",       m_line.slavePath(),     "--listen", listen, "--config", path,
                "--token-file", m_dir.filePath("token")};
    }

    QTemporaryDir m_dir;
    PtyPair m_line;
    QByteArray m_token;
    QProcess m_broker; // killed with the test
    quint16 m_tlsPort = 0;
};

QTEST_GUILESS_MAIN(TestVornikdNet)
#include "tst_vornikd_net.moc"
