#include "support/ptypair.h"
#include "support/serviceprocess.h"
#include "support/testhelpers.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <vector>

namespace {

constexpr int kTimeoutMs = 20000;
const QByteArray kInfo = "GET /api/v1/info HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer ";

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
    // The first answer, once whole by its Content-Length or when the connection ended.
    QByteArray answer()
    {
        static_cast<void>(QTest::qWaitFor(
                [this] {
                    m_got += m_socket.readAll();
                    const qsizetype head = m_got.indexOf("\r\n\r\n");
                    static const QRegularExpression length(
                            "content-length: *(\\d+)", QRegularExpression::CaseInsensitiveOption);
                    const auto match = length.match(QString::fromLatin1(m_got.left(head)));
                    return (head >= 0 && match.hasMatch()
                            && m_got.size() >= head + 4 + match.captured(1).toInt())
                           || m_socket.state() == QAbstractSocket::UnconnectedState;
                },
                kTimeoutMs));
        return m_got;
    }
    // Whether the service ends the connection.
    bool closedByService()
    {
        return QTest::qWaitFor(
                [this] {
                    m_got += m_socket.readAll();
                    return m_socket.state() == QAbstractSocket::UnconnectedState;
                },
                kTimeoutMs);
    }

private:
    QTcpSocket m_socket;
    QByteArray m_got;
};

int status(const QByteArray &answer)
{
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
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
        client.send(kInfo + m_token + "\r\n\r\n");
        const QByteArray answer = client.answer();
        QCOMPARE(status(answer), 200);
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
        QTest::newRow("Connection: close") << QByteArray() << QByteArray("GET / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n") << 200;
        // clang-format on
    }
    // The service ends a connection whose request does not arrive in time, one left idle, and
    // one whose client asked for it.
    void connectionsEnd()
    {
        QFETCH(QByteArray, config);
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(arguments(config)));
        Client client;
        QVERIFY(client.open(portOf(service)));
        client.send(request);
        QVERIFY(client.closedByService());
        QCOMPARE(::status(client.answer()), status);
    }

    void hostNames_data()
    {
        QTest::addColumn<QString>("listen");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QString>("host"); // "printed": the host of the printed URL
        QTest::addColumn<int>("status");
        // clang-format off
        QTest::newRow("a name given with --hosts") << "127.0.0.1:0" << QStringList{"--hosts", "sign.example,Other"} << "sign.example" << 200;
        QTest::newRow("the address listened on, as printed") << "127.0.0.2:0" << QStringList() << "printed" << 200;
        QTest::newRow("every interface: as printed") << "0.0.0.0:0" << QStringList() << "printed" << 200;
        QTest::newRow("every interface: the machine's name") << "0.0.0.0:0" << QStringList() << QHostInfo::localHostName() << 200;
        QTest::newRow("every interface: another site") << "0.0.0.0:0" << QStringList() << "evil.example" << 421;
        QTest::newRow("a name listened on") << "localhost:0" << QStringList() << "printed" << 200;
        // clang-format on
    }
    // The printed URL is one another machine can open, and the names it gives are accepted as
    // Host; another site's name is not.
    void hostNames()
    {
        QFETCH(QString, listen);
        QFETCH(QStringList, extra);
        QFETCH(QString, host);
        QFETCH(int, status);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(arguments("", listen) + extra));
        const QUrl url(service.url());
        const QString printed = url.host();
        QVERIFY2(printed != "0.0.0.0" && printed != "::", qPrintable(printed));
        if (listen.startsWith("0.0.0.0"))
            QVERIFY2(!QHostAddress(printed).isLoopback(), qPrintable(printed));
        // Aimed at loopback always; the Host header stands for the name another machine uses.
        const QHostAddress target(printed);
        Client client;
        QVERIFY(client.open(portOf(service), "127.0.0.1",
                            target.isLoopback() ? target.toString() : "127.0.0.1"));
        const QString name = host == "printed" ? url.authority() : host;
        client.send("GET /api/v1/info HTTP/1.1\r\nHost: " + name.toUtf8()
                    + "\r\nAuthorization: Bearer " + m_token + "\r\n\r\n");
        const QByteArray answer = client.answer();
        QVERIFY2(::status(answer) == status, answer.constData());
    }

    void configurationMistakes_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<QString>("refusal"); // "": taken; FILE stands for the file's path
        // clang-format off
        QTest::newRow("a section") << QByteArray("chain = 6\n[vornikd]\n") << "FILE:2: \"[vornikd]\": the file has no sections";
        QTest::newRow("a misspelt key") << QByteArray("# the sign\nchian = 6\n") << "FILE:2: unknown key \"chian\"; did you mean \"chain\"?";
        QTest::newRow("another") << QByteArray("prot = /dev/ttyUSB0\n") << "FILE:1: unknown key \"prot\"; did you mean \"port\"?";
        QTest::newRow("a bad value") << QByteArray("\nchain = 11\n") << "FILE:2: chain";
        QTest::newRow("a key twice") << QByteArray("chain = 6\nchain = 4\n") << "FILE:2: chain is given twice (also on line 1)";
        QTest::newRow("a bad time limit") << QByteArray("idle-timeout = soon\n") << "FILE:1: idle-timeout takes seconds";
        QTest::newRow("a comment after a value") << QByteArray("chain = 4 # four digits\nidle-timeout = 30 # as it is\n") << QString();
        // clang-format on
    }
    // A mistake in the file stops the start with its file, line and key, and the fix.
    void configurationMistakes()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, refusal);
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        const bool started = service.startWith(arguments(config));
        if (refusal.isEmpty()) {
            // Taken without a word.
            QVERIFY2(started && service.errors().isEmpty(), service.errors().constData());
            return;
        }
        QVERIFY(!started);
        QCOMPARE(service.refused(), 2);
        const QString errors = QString::fromUtf8(service.errors());
        QVERIFY2(errors.contains(QString(refusal).replace("FILE", m_dir.filePath("conf"))),
                 qPrintable(errors));
    }

    void tokenFiles_data()
    {
        QTest::addColumn<int>("mode"); // QFile's flags: 0x6644 is chmod 644
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("refusal"); // FILE stands for the file's path
        const QByteArray good = QByteArray(32, 'a');
        // clang-format off
        QTest::newRow("others may read") << 0x6644 << good << "chmod 600 FILE";
        QTest::newRow("the group may write") << 0x6620 << good << "chmod 600 FILE";
        QTest::newRow("too short") << 0x6600 << QByteArray("abc\n") << "the token is 3 characters";
        // clang-format on
    }
    // A token that is no secret is not trusted.
    void tokenFiles()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, token);
        QFETCH(QString, refusal);
        const QString path = m_dir.filePath("weak");
        QFile::remove(path);
        QVERIFY(writeFile(path, token));
        QVERIFY(QFile::setPermissions(path, QFile::Permissions(mode)));
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(!service.startWith({"--port", m_line.slavePath(), "--listen", "127.0.0.1:0",
                                    "--config", "/dev/null", "--token-file", path}));
        QCOMPARE(service.refused(), 4);
        const QString errors = QString::fromUtf8(service.errors());
        QVERIFY2(errors.contains(QString(refusal).replace("FILE", path)), qPrintable(errors));
    }

    void answerHeaders_data()
    {
        QTest::addColumn<QByteArray>("request"); // TOKEN stands for the token
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArrayList>("headers");
        // clang-format off
        QTest::newRow("the page") << QByteArray("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n") << 200
                                  << QByteArrayList{"content-security-policy: default-src 'self'", "frame-ancestors 'none'", "\r\nx-frame-options: deny\r\n", "\r\nx-content-type-options: nosniff\r\n", "\r\nreferrer-policy: no-referrer\r\n"};
        QTest::newRow("no token") << QByteArray("GET /api/v1/info HTTP/1.1\r\nHost: localhost\r\n\r\n") << 401 << QByteArrayList{"\r\nwww-authenticate: bearer realm=\"vornikd\"\r\n"};
        QTest::newRow("a wrong token") << QByteArray("GET /api/v1/info HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer 0123456789abcdef\r\n\r\n") << 401 << QByteArrayList{"\r\nwww-authenticate: bearer"};
        QTest::newRow("a wrong method") << QByteArray("GET /api/v1/message HTTP/1.1\r\nHost: localhost\r\nAuthorization: Bearer TOKEN\r\n\r\n") << 405 << QByteArrayList{"\r\nallow: post\r\n"};
        QTest::newRow("the scheme in lower case") << QByteArray("GET /api/v1/info HTTP/1.1\r\nHost: localhost\r\nAuthorization: bearer TOKEN\r\n\r\n") << 200 << QByteArrayList{};
        // clang-format on
    }
    // What the answers tell a browser and a client besides their status.
    void answerHeaders()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArrayList, headers);
        if (!m_shared) {
            m_shared = std::make_unique<ServiceProcess>(VORNIKD_PROGRAM, m_dir.filePath("token"));
            QVERIFY(m_shared->startWith(arguments("")));
        }
        Client client;
        QVERIFY(client.open(portOf(*m_shared)));
        client.send(request.replace("TOKEN", m_token));
        const QByteArray answer = client.answer();
        QCOMPARE(::status(answer), status);
        const QByteArray head = answer.left(answer.indexOf("\r\n\r\n") + 2).toLower();
        for (const QByteArray &header : headers)
            QVERIFY2(head.contains(header), head.constData());
    }

    void brokerCertificates_data()
    {
        QTest::addColumn<QString>("ca"); // the CA vornikd trusts
        QTest::addColumn<int>("listener");
        QTest::addColumn<QByteArray>("cause");
        QTest::newRow("signed by another CA") << "other" << 0 << QByteArray("issuer certificate");
        QTest::newRow("made out to another host") << "ca" << 1 << QByteArray("host name");
    }
    // A broker whose certificate is refused: the log says why, not only that TLS failed.
    void brokerCertificates()
    {
        QFETCH(QString, ca);
        QFETCH(int, listener);
        QFETCH(QByteArray, cause);
        if (m_broker.state() == QProcess::NotRunning) {
            m_shared.reset(); // its line is this service's
            QVERIFY(startTlsBroker());
        }
        ServiceProcess service(VORNIKD_PROGRAM, m_dir.filePath("token"));
        QVERIFY(service.startWith(
                arguments("")
                + QStringList{"--mqtt", QStringLiteral("127.0.0.1:%1").arg(m_tlsPorts[listener]),
                              "--mqtt-ca-file", m_dir.filePath(ca + ".pem"), "--id", "tls"}));
        QVERIFY2(QTest::qWaitFor([&] { return service.errors().contains("mqtt: cannot reach"); },
                                 kTimeoutMs),
                 service.errors().constData());
        const QByteArray said = service.errors();
        QVERIFY2(said.contains(cause), said.constData());
        QVERIFY2(cause == "host name" || !said.contains("host name"), said.constData());
    }

private:
    // A broker on two TLS ports: the first with a certificate for 127.0.0.1, the second for
    // broker.example, both signed by ca.pem; other.pem is a CA that signed neither.
    bool startTlsBroker()
    {
        const auto openssl = [&](const QStringList &arguments) {
            QProcess run;
            run.setWorkingDirectory(m_dir.path());
            run.start("openssl", arguments);
            return run.waitForFinished(kTimeoutMs) && run.exitCode() == 0;
        };
        const QStringList key{"-newkey", "ec",    "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes",  "-days", "2"};
        QByteArray config;
        for (const char *ca : {"ca", "other"})
            if (!openssl(QStringList{"req", "-x509", "-keyout", QString(ca) + ".key", "-out",
                                     QString(ca) + ".pem", "-subj", "/CN=test " + QString(ca)}
                         + key))
                return false;
        for (int i = 0; i < 2; ++i) {
            const QString name = i == 0 ? "IP:127.0.0.1" : "DNS:broker.example";
            const QString server = "server" + QString::number(i);
            writeFile(m_dir.filePath(server + ".ext"), "subjectAltName=" + name.toUtf8());
            if (!openssl(QStringList{"req", "-keyout", server + ".key", "-out", server + ".csr",
                                     "-subj", "/CN=" + name.section(':', 1)}
                         + key)
                || !openssl({"x509", "-req", "-in", server + ".csr", "-CA", "ca.pem", "-CAkey",
                             "ca.key", "-CAcreateserial", "-days", "2", "-extfile", server + ".ext",
                             "-out", server + ".pem"}))
                return false;
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            m_tlsPorts[i] = probe.serverPort();
            probe.close();
            config += QStringLiteral("listener %1 127.0.0.1\ncertfile %2.pem\nkeyfile %2.key\n")
                              .arg(m_tlsPorts[i])
                              .arg(m_dir.filePath(server))
                              .toUtf8();
        }
        // Run as root, the broker reads its files as the user mosquitto.
        for (const QString &file : QDir(m_dir.path()).entryList({"server*"}))
            QFile::setPermissions(m_dir.filePath(file), QFile::Permissions(0x4444));
        QFile::setPermissions(m_dir.path(), QFile::Permissions(0x7755));
        writeFile(m_dir.filePath("broker.conf"), config + "allow_anonymous true\n");
        m_broker.start("mosquitto", {"-c", m_dir.filePath("broker.conf")});
        return QTest::qWaitFor([&] { return Client().open(m_tlsPorts[1]); }, kTimeoutMs);
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
    std::unique_ptr<ServiceProcess> m_shared;
    QProcess m_broker; // killed with the test
    quint16 m_tlsPorts[2] = {};
};

QTEST_GUILESS_MAIN(TestVornikdNet)
#include "tst_vornikd_net.moc"
