#include "chain/chainsession.h"
#include "chain/chainwindow.h"
#include "font/segmentcolours.h"
#include "font/segmentgeometry.h"
#include "font/segmentpainter.h"
#include "serial/portlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 10000;

QByteArray command(char letter, const QByteArray &argument)
{
    return QByteArrayLiteral("$B7") + letter + argument + '\r';
}

// Every report the session made for input, fed one byte at a time, one line each.
QString reportsFor(ChainSession &session, const QByteArray &input)
{
    QStringList reports;
    const QObject listener; // disconnects when it goes
    QObject::connect(&session, &ChainSession::reported, &listener,
                     [&](const QString &line, bool) { reports.append(line); });
    for (const char byte : input)
        session.receive(QByteArray(1, byte));
    return reports.join(QLatin1Char('\n'));
}

} // namespace

// The virtual chain: what the bytes of the command protocol do to it, what its window draws,
// and the program on its pseudo-terminal.
class TestChain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void framesChangeTheChain_data()
    {
        QTest::addColumn<int>("digits");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("reports"); // a part of the reports, in order

        const QByteArray abc = command('M', "ABCDEF");
        const QByteArray overlong = QByteArrayLiteral("$B7M") + QByteArray(60, 'A');
        // clang-format off
        QTest::newRow("message") << 6 << command('M', "HELLO ") << R"(M "HELLO " chars="HELLO " fonts="000000" underscores="000000")";
        QTest::newRow("short argument") << 6 << abc + command('M', "HI") << R"(chars="HICDEF")";
        QTest::newRow("! skips a digit") << 6 << abc + command('M', "!!X!!Z") << R"(chars="ABXDEZ")";
        QTest::newRow("beyond the chain") << 3 << abc << R"(M "ABCDEF" chars="ABC" fonts="000")";
        QTest::newRow("attributes") << 6 << command('F', "U1") + command('U', "!1") + command('E', "12") + command('S', "34") << R"(fonts="U10000" underscores="010000" effects="120000" speeds="340000")";
        QTest::newRow("unexpected font") << 6 << command('F', "1X") << R"(fonts="1X0000" underscores="000000" effects="000000" speeds="000000" unexpected: digit 2 "X")";
        QTest::newRow("code 10 in the user font") << 6 << command('F', "U") + command('M', "\n") << R"(M "\x0a" chars="\x0a     ")";
        QTest::newRow("pattern") << 6 << command('W', "A110000000000001") << R"(speeds="000000" code=65 pattern=110000000000001)";
        QTest::newRow("W too short") << 6 << command('W', "A11000000000000") << "error: W needs 16 characters (code and 15 segment states), got 15";
        QTest::newRow("unknown letter") << 6 << QByteArray("$B7X12\r") << R"(error: unknown command letter "X": "$B7X12\x0d")";
        QTest::newRow("bytes before a frame") << 6 << QByteArray("xy$B7MOK\r") << "error: bytes outside a frame: \"xy\"\nM \"OK\" chars=\"OK    \"";
        QTest::newRow("line feed after CR") << 6 << QByteArray("$B7M1\r\n$B7M2\r") << "\nerror: bytes outside a frame: \"\\x0a\"\nM \"2\" chars=\"2     \"";
        QTest::newRow("no CR within 64 bytes") << 6 << overlong + "AAAA$B7M3\r$B7M2\r" << "error: no CR within 64 bytes; dropped up to the next CR: \"" + QString::fromLatin1(overlong) + "\"\nM \"2\" chars=\"2     \"";
        // clang-format on
    }
    // Values the modules do not expect are stored but named; bad input is reported and
    // changes nothing, and the next frame is decoded.
    void framesChangeTheChain()
    {
        QFETCH(int, digits);
        QFETCH(QByteArray, input);
        QFETCH(QString, reports);
        ChainSession session(digits);
        const QString made = reportsFor(session, input);
        QVERIFY2(made.contains(reports), qPrintable(made));
        const QRegularExpression problem(QStringLiteral("error|unexpected"));
        QVERIFY2(reports.contains(problem) || !made.contains(problem), qPrintable(made));
    }

    // The window draws each digit as the frames left it: a built-in L with its underscore on the
    // last digit, a user-font pattern on the third.
    void windowDrawsTheDigits()
    {
        ChainSession session(6);
        reportsFor(session, command('M', "!!!!!L") + command('U', "!!!!!1")
                                    + command('W', "A100000010000000") + command('F', "!!U")
                                    + command('M', "!!A"));
        ChainWindow window(session);
        window.resize(window.sizeHint());
        const QImage image = window.grab().toImage();
        QStringList drawn;
        for (const int digit : {5, 2}) {
            const QRectF cell = segmentCellRect(window.digitRect(digit));
            const double scale = cell.width() / SegmentGeometry::kCell.width();
            drawn.append(QString());
            for (const QLineF &segment : SegmentGeometry::segments()) {
                const QColor colour
                        = image.pixelColor((cell.topLeft() + segment.center() * scale).toPoint());
                drawn.last() += colour == SegmentGeometry::onColour() ? '1' : '0';
            }
        }
        QCOMPARE(drawn, (QStringList{"000111000000001", "100000010000000"}));
    }

    // The program prints its device and its stable name, a link the port scan lists and a later
    // chain takes once this one has ended (one leading nowhere at once). The device passes bytes
    // both ways, answers the probe, and stays the chain's when the utility reopens it.
    void programOnItsPseudoTerminal()
    {
        QTemporaryDir runtime;
        const QString names = runtime.filePath(QStringLiteral("vornik-chain"));
        QVERIFY(QDir().mkpath(names)
                && QFile::link(QStringLiteral("/dev/pts/gone"), names + QStringLiteral("/chain0")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        QProcess chain, other;
        QStringList lines;
        for (QProcess *each : {&chain, &other}) {
            each->setProcessEnvironment(environment);
            each->start(QStringLiteral(VORNIK_CHAIN_PROGRAM), {"--dump", "--digits", "3"});
            QVERIFY(each->waitForStarted());
            for (int read = 0; read < 2; ++read) {
                if (!each->canReadLine())
                    QVERIFY(each->waitForReadyRead(kTimeoutMs) && each->canReadLine());
                lines << QString::fromLocal8Bit(each->readLine().trimmed());
            }
        }
        const QStringList stable{names + "/chain0", names + "/chain1"};
        QCOMPARE((QStringList{lines.at(1), lines.at(3)}), stable);
        QCOMPARE(QFileInfo(stable.at(0)).symLinkTarget(), lines.at(0));
        QCOMPARE(PortList::virtualChains(names), stable);
        other.terminate();
        QVERIFY(other.waitForFinished(kTimeoutMs));
        QCOMPARE(PortList::virtualChains(names), QStringList{stable.at(0)});
        QVERIFY(!QFileInfo(stable.at(1)).isSymLink());
        const QByteArray device = QFile::encodeName(stable.at(0));
        int line = ::open(device.constData(), O_RDWR | O_NOCTTY);
        QVERIFY2(line >= 0, device.constData());
        QVERIFY(::write(line, "$0000\r$B7MAB\r", 13) == 13);
        QByteArray reply(11, '\0');
        struct pollfd ready = {line, POLLIN, 0};
        QVERIFY(::poll(&ready, 1, kTimeoutMs) == 1 && ::read(line, reply.data(), 11) == 11);
        QCOMPARE(reply, QByteArray("!0000022600"));
        ::close(line);
        line = ::open(device.constData(), O_RDWR | O_NOCTTY);
        QVERIFY(::write(line, "$B7F!U\r$B7M!\n\r", 15) == 15);
        ::close(line);
        QByteArray dump;
        QVERIFY(QTest::qWaitFor(
                [&] {
                    dump += chain.readAll();
                    return dump.contains("\nM \"!\\x0a\" chars=\"A\\x0a \" fonts=\"0U0\"");
                },
                kTimeoutMs));
        QVERIFY2(!dump.contains("error"), dump.constData());
        chain.terminate();
        QVERIFY(chain.waitForFinished(kTimeoutMs));
        QVERIFY(QDir(names).isEmpty());
    }
};

QTEST_MAIN(TestChain)
#include "tst_chain.moc"
