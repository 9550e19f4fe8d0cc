#include "chain/builtinfont.h"
#include "chain/chainoptions.h"
#include "chain/chainstate.h"
#include "chain/framedecoder.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <algorithm>

namespace {

QByteArray command(char letter, const QByteArray &argument)
{
    return QByteArrayLiteral("$B7") + letter + argument + '\r';
}

// Feeds input to a fresh decoder and chain; keeps the frames decoded and the reports.
struct Run
{
    ChainState state;
    QList<DecodedFrame> frames;
    QStringList reports;

    explicit Run(int digits, const QByteArray &input) : state(digits)
    {
        FrameDecoder decoder;
        for (const DecodedFrame &frame : decoder.feed(input)) {
            frames.append(frame);
            reports.append(state.apply(frame).report);
        }
    }
};

QByteArray attributeOf(const ChainState &state, char letter)
{
    switch (letter) {
    case 'M':
        return state.characters();
    case 'F':
        return state.fonts();
    case 'U':
        return state.underscores();
    case 'E':
        return state.effects();
    default:
        return state.speeds();
    }
}

// One letter per frame: the command letter, P for the probe, E for malformed input.
QString kinds(const QList<DecodedFrame> &frames)
{
    QStringList list;
    for (const DecodedFrame &frame : frames) {
        if (frame.kind == DecodedFrame::Kind::Command)
            list.append(QString(QLatin1Char(frame.letter)));
        else
            list.append(frame.kind == DecodedFrame::Kind::Probe ? "P" : "E");
    }
    return list.join(QLatin1Char(','));
}

QString segments(std::initializer_list<int> lit)
{
    QString pattern(15, QLatin1Char('0'));
    for (const int k : lit)
        pattern[k] = QLatin1Char('1');
    return pattern;
}

} // namespace

// The virtual chain's decoder and state: what the bytes of the command protocol do to it.
class TestChainDecoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Values outside what the modules expect are stored but named in the report.
    void perDigitCommands_data()
    {
        QTest::addColumn<int>("digits");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("unexpected");

        const QByteArray abc = command('M', "ABCDEF");
        // clang-format off
        QTest::newRow("message") << 6 << command('M', "HELLO ") << "HELLO " << "";
        QTest::newRow("message skips with !") << 6 << abc + command('M', "!!X!!Z") << "ABXDEZ"
                << "";
        QTest::newRow("short message changes only the first digits") << 6
                << abc + command('M', "Z") << "ZBCDEF" << "";
        QTest::newRow("long message: extra characters ignored") << 3 << abc << "ABC" << "";
        QTest::newRow("empty message changes nothing") << 6 << abc + command('M', "")
                << "ABCDEF" << "";
        QTest::newRow("six-space blank on ten digits") << 10
                << command('M', "0123456789") + command('M', "      ") << "      6789" << "";
        QTest::newRow("code 10 is a character") << 6 << command('F', "U") + command('M', "\n")
                << "\n     " << "";
        QTest::newRow("dollar is a character") << 6 << command('M', "$B7") << "$B7   "
                << "digit 1 \"$\"";
        QTest::newRow("fonts skip") << 6 << command('F', "UUUUUU") + command('F', "!1!2!3")
                << "U1U2U3" << "";
        QTest::newRow("empty fonts") << 6 << command('F', "") << "000000" << "";
        QTest::newRow("one underscore") << 6 << command('U', "1") << "100000" << "";
        QTest::newRow("speeds on one digit") << 1 << command('S', "98") << "9" << "";
        QTest::newRow("font X") << 6 << command('F', "1X") << "1X0000" << "digit 2 \"X\"";
        QTest::newRow("lower-case character in a built-in font") << 6 << command('M', "a")
                << "a     " << "digit 1 \"a\"";
        QTest::newRow("code 10 in a built-in font") << 6 << command('M', "\n") << "\n     "
                << "digit 1 \"\\x0a\"";
        QTest::newRow("underscore 2") << 6 << command('U', "!2") << "020000" << "digit 2 \"2\"";
        // clang-format on
    }
    void perDigitCommands()
    {
        QFETCH(int, digits);
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QFETCH(QString, unexpected);
        const Run run(digits, input);
        QVERIFY(!kinds(run.frames).contains(QLatin1Char('E')));
        // The letter of the last command, which starts after the one CR before it.
        const char letter = input.at(input.lastIndexOf('\r', input.size() - 2) + 4);
        QCOMPARE(QString::fromLatin1(attributeOf(run.state, letter)), expected);
        const QString report = run.reports.last();
        QVERIFY2(report.contains(QStringLiteral("chars=\"")), qPrintable(report));
        if (unexpected.isEmpty())
            QVERIFY2(!report.contains(QStringLiteral("unexpected")), qPrintable(report));
        else
            QVERIFY2(report.endsWith(" unexpected: " + unexpected), qPrintable(report));
    }

    void writesUserFont_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("frameKinds");

        const QString off(15, QLatin1Char('0'));
        // clang-format off
        QTest::newRow("pattern of A") << command('W', "A110000000000001") << 65
                << "110000000000001" << "W";
        QTest::newRow("code 10") << command('W', "\n111111111111111") << 10 << "111111111111111"
                << "W";
        QTest::newRow("15 characters") << command('W', "A11000000000000") << 65 << off << "E";
        QTest::newRow("17 characters") << command('W', "A1100000000000011") << 65 << off << "E";
        QTest::newRow("state not 0 or 1") << command('W', "A11000000000000x") << 65 << off << "E";
        QTest::newRow("code 33 is the skip marker") << command('W', "!110000000000001") << 33
                << off << "E";
        QTest::newRow("code 126") << command('W', "~110000000000001") << 126 << off << "E";
        QTest::newRow("wrong W keeps the earlier pattern")
                << command('W', "A111111111111111") + command('W', "A0") << 65
                        << "111111111111111" << "W,E";
        // clang-format on
    }
    void writesUserFont()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, code);
        QFETCH(QString, expected);
        QFETCH(QString, frameKinds);
        const Run run(6, input);
        QCOMPARE(kinds(run.frames), frameKinds);
        QCOMPARE(run.state.userPattern(code), expected);
        if (frameKinds.endsWith(QLatin1Char('W')))
            QVERIFY(run.reports.last().endsWith(
                    QStringLiteral("code=%1 pattern=%2").arg(code).arg(expected)));
        else
            QVERIFY(run.reports.last().startsWith(QStringLiteral("error: ")));
    }

    void digitShows_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");

        const QByteArray userA = command('F', "U") + command('M', "A");
        // clang-format off
        QTest::newRow("blank at start") << QByteArray() << segments({});
        QTest::newRow("built-in font 5 shows the built-in shape")
                << command('F', "5") + command('M', "A") << BuiltinFont::pattern('A');
        QTest::newRow("no shape for a lower-case letter") << command('M', "a") << segments({});
        QTest::newRow("user font shows the written pattern")
                << command('W', "A100000000000001") + userA << segments({0, 14});
        QTest::newRow("pattern written after the character is shown")
                << userA + command('W', "A000100000000000") << segments({3});
        QTest::newRow("underscore on a built-in character")
                << command('M', "L") + command('U', "1") << segments({3, 4, 5, 14});
        QTest::newRow("underscore off clears segment 14")
                << command('U', "1") + command('U', "0") + command('M', "T")
                << segments({0, 7, 11});
        // clang-format on
    }
    void digitShows()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QCOMPARE(Run(6, input).state.digitPattern(0), expected);
    }

    void builtinShapesCanBeToldApart()
    {
        QCOMPARE(BuiltinFont::characters(),
                 QByteArray(" 0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        QSet<QString> shapes;
        for (const char character : BuiltinFont::characters()) {
            const QString pattern = BuiltinFont::pattern(character);
            QVERIFY2(pattern.size() == 15
                             && pattern.count(QLatin1Char('0')) + pattern.count(QLatin1Char('1'))
                                        == 15,
                     &character);
            QCOMPARE(pattern.at(14), QLatin1Char('0'));
            shapes.insert(pattern);
        }
        QCOMPARE(shapes.size(), BuiltinFont::characters().size());
        QVERIFY(BuiltinFont::pattern('a').isEmpty());
    }

    void malformedInput_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("frameKinds");
        QTest::addColumn<QString>("problem");

        const QByteArray frame = QByteArray("$B7M") + QByteArray(60, 'A');
        // clang-format off
        QTest::newRow("unknown letter") << QByteArray("$B7X12\r") << "E"
                << "unknown command letter \"X\"";
        QTest::newRow("no letter") << QByteArray("$B7\r") << "E" << "no command letter";
        QTest::newRow("other prefix") << QByteArray("$A7M1\r") << "E" << "not a command";
        QTest::newRow("garbage before $") << QByteArray("xy$B7M1\r") << "E,M"
                << "bytes outside a frame";
        QTest::newRow("line feed after CR") << QByteArray("$B7M1\r\n$B7M2\r") << "M,E,M"
                << "bytes outside a frame";
        QTest::newRow("64 bytes without CR") << frame + "\r$B7M2\r" << "E,M"
                << "no CR within 64 bytes";
        QTest::newRow("long frame dropped up to its CR") << frame + "AAAA$B7M3\r$B7M2\r"
                << "E,M" << "no CR within 64 bytes";
        QTest::newRow("garbage flood in 64-byte reports") << QByteArray(130, 'x') << "E,E"
                << "bytes outside a frame";
        QTest::newRow("probe") << QByteArray("$0000\r") << "P" << "";
        // clang-format on
    }
    // Every bad input is one report that changes nothing, and the next good frame is decoded.
    void malformedInput()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, frameKinds);
        QFETCH(QString, problem);
        FrameDecoder decoder;
        const QList<DecodedFrame> frames = decoder.feed(input);
        QCOMPARE(kinds(frames), frameKinds);
        for (const DecodedFrame &frame : frames) {
            ChainState state;
            const ChainState::Outcome outcome = state.apply(frame);
            if (frame.kind == DecodedFrame::Kind::Malformed) {
                QVERIFY2(frame.problem.startsWith(problem), qPrintable(frame.problem));
                QVERIFY(outcome.report.startsWith(QStringLiteral("error: ") + problem));
                QCOMPARE(state.characters(), QByteArray("      "));
            }
            // Only the probe is answered.
            QCOMPARE(outcome.reply, frame.kind == DecodedFrame::Kind::Probe
                                            ? QByteArray("!0000022600")
                                            : QByteArray());
        }
        const QList<DecodedFrame> after = decoder.feed(command('M', "OK"));
        QVERIFY(kinds(after).endsWith(QLatin1Char('M')));
        QCOMPARE(after.last().argument, QByteArray("OK"));
    }

    void splitAcrossFeeds_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("commands") << command('M', "HELLO!") + command('F', "U0")
                                             + command('W', "A110000000000001");
        QTest::newRow("probe between garbage") << QByteArray("zz$0000\r\r$B7U1\r");
        QTest::newRow("long frame") << QByteArray("$B7M") + QByteArray(70, '$') + "\r$B7E9\r";
    }
    // Where the serial driver cuts the stream must not change what is decoded.
    void splitAcrossFeeds()
    {
        QFETCH(QByteArray, input);
        const QList<DecodedFrame> whole = FrameDecoder().feed(input);
        QVERIFY(!whole.isEmpty());
        FrameDecoder bytewise;
        QList<DecodedFrame> pieces;
        for (const char byte : input)
            pieces += bytewise.feed(QByteArray(1, byte));
        QCOMPARE(pieces, whole);
        for (int cut = 1; cut < input.size(); ++cut) {
            FrameDecoder decoder;
            QList<DecodedFrame> halves = decoder.feed(input.left(cut));
            halves += decoder.feed(input.mid(cut));
            QVERIFY2(halves == whole, qPrintable(QStringLiteral("cut at %1").arg(cut)));
        }
    }

    // Random bytes, heavy in the protocol's own characters, in random pieces: the decoder
    // keeps going and the chain keeps its shape.
    void survivesRandomInput()
    {
        QRandomGenerator random(20261206);
        const QByteArray alphabet("$B7MFUESW!01\r\n\xff ");
        ChainState state(4);
        FrameDecoder decoder;
        int reports = 0;
        for (int round = 0; round < 2000; ++round) {
            QByteArray chunk;
            const int length = random.bounded(1, 40);
            for (int i = 0; i < length; ++i)
                chunk.append(random.bounded(4) == 0 ? static_cast<char>(random.bounded(256))
                                                    : alphabet.at(random.bounded(alphabet.size())));
            for (const DecodedFrame &frame : decoder.feed(chunk)) {
                QVERIFY(!state.apply(frame).report.isEmpty());
                ++reports;
            }
            QCOMPARE(state.characters().size(), 4);
            QCOMPARE(state.fonts().size(), 4);
        }
        QVERIFY(reports > 100);
        decoder.feed("\r");
        for (const DecodedFrame &frame : decoder.feed(command('M', "OK!!")))
            state.apply(frame);
        QCOMPARE(state.characters().left(2), QByteArray("OK"));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("digits"); // 0: refused
        QTest::addColumn<bool>("dump");
        QTest::addColumn<bool>("help");
        // clang-format off
        QTest::newRow("none") << QStringList() << 6 << false << false;
        QTest::newRow("digits 10") << QStringList{"--digits", "10"} << 10 << false << false;
        QTest::newRow("digits=1 and dump") << QStringList{"--digits=1", "--dump"} << 1 << true
                << false;
        QTest::newRow("-h") << QStringList{"-h"} << 6 << false << true;
        QTest::newRow("digits 11") << QStringList{"--digits", "11"} << 0 << false << false;
        QTest::newRow("digits text") << QStringList{"--digits=six"} << 0 << false << false;
        QTest::newRow("digits missing") << QStringList{"--digits"} << 0 << false << false;
        QTest::newRow("unknown") << QStringList{"--port"} << 0 << false << false;
        // clang-format on
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, digits);
        QFETCH(bool, dump);
        QFETCH(bool, help);
        const ChainOptions options = ChainOptions::parse(arguments);
        QCOMPARE(options.error.isEmpty(), digits > 0);
        if (digits == 0)
            return;
        QCOMPARE(options.digits, digits);
        QCOMPARE(options.dump, dump);
        QCOMPARE(options.help, help);
    }
};

QTEST_MAIN(TestChainDecoder)
#include "tst_chaindecoder.moc"
