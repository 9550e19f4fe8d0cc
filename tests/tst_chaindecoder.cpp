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

// Feeds input to a fresh decoder and chain; returns the chain and the frames decoded.
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
        else if (frame.kind == DecodedFrame::Kind::Probe)
            list.append(QStringLiteral("P"));
        else
            list.append(QStringLiteral("E"));
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
    void perDigitCommands_data()
    {
        QTest::addColumn<int>("digits");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<char>("letter");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("message") << 6 << command('M', "HELLO ") << 'M' << QByteArray("HELLO ");
        QTest::newRow("message skips with !")
                << 6 << command('M', "ABCDEF") + command('M', "!!X!!Z") << 'M'
                << QByteArray("ABXDEZ");
        QTest::newRow("short message changes only the first digits")
                << 6 << command('M', "ABCDEF") + command('M', "Z") << 'M' << QByteArray("ZBCDEF");
        QTest::newRow("long message: extra characters ignored")
                << 3 << command('M', "ABCDEF") << 'M' << QByteArray("ABC");
        QTest::newRow("empty message changes nothing")
                << 6 << command('M', "ABCDEF") + command('M', "") << 'M' << QByteArray("ABCDEF");
        QTest::newRow("six-space blank on ten digits")
                << 10 << command('M', "0123456789") + command('M', "      ") << 'M'
                << QByteArray("      6789");
        QTest::newRow("code 10 is a character")
                << 6 << command('F', "U") + command('M', "\n") << 'M' << QByteArray("\n     ");
        QTest::newRow("dollar is a character")
                << 6 << command('M', "$B7") << 'M' << QByteArray("$B7   ");
        QTest::newRow("fonts") << 6 << command('F', "0123U9") << 'F' << QByteArray("0123U9");
        QTest::newRow("fonts skip") << 6 << command('F', "UUUUUU") + command('F', "!1!2!3") << 'F'
                                    << QByteArray("U1U2U3");
        QTest::newRow("empty fonts") << 6 << command('F', "") << 'F' << QByteArray("000000");
        QTest::newRow("underscores") << 6 << command('U', "101010") << 'U' << QByteArray("101010");
        QTest::newRow("one underscore") << 6 << command('U', "1") << 'U' << QByteArray("100000");
        QTest::newRow("effects") << 6 << command('E', "123456") << 'E' << QByteArray("123456");
        QTest::newRow("speeds") << 6 << command('S', "987654") << 'S' << QByteArray("987654");
        QTest::newRow("speeds on one digit") << 1 << command('S', "98") << 'S' << QByteArray("9");
        QTest::newRow("message leaves fonts alone")
                << 6 << command('M', "ABC") << 'F' << QByteArray("000000");
        QTest::newRow("ten digits")
                << 10 << command('U', "1111111111") << 'U' << QByteArray("1111111111");
    }

    void perDigitCommands()
    {
        QFETCH(int, digits);
        QFETCH(QByteArray, input);
        QFETCH(char, letter);
        QFETCH(QByteArray, expected);
        const Run run(digits, input);
        for (const DecodedFrame &frame : run.frames)
            QCOMPARE(frame.kind, DecodedFrame::Kind::Command);
        QCOMPARE(attributeOf(run.state, letter), expected);
        QVERIFY(run.reports.last().contains(QStringLiteral("chars=\"")));
    }

    void reportsUnexpectedValues_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("unexpected");

        QTest::newRow("font X") << command('F', "1X") << QStringLiteral("digit 2 \"X\"");
        QTest::newRow("lower-case character in a built-in font")
                << command('M', "a") << QStringLiteral("digit 1 \"a\"");
        QTest::newRow("lower-case character in the user font")
                << command('F', "U") + command('M', "a") << QString();
        QTest::newRow("code 10 in a built-in font")
                << command('M', "\n") << QStringLiteral("digit 1 \"\\x0a\"");
        QTest::newRow("underscore 2") << command('U', "!2") << QStringLiteral("digit 2 \"2\"");
        QTest::newRow("effect letter") << command('E', "A") << QStringLiteral("digit 1 \"A\"");
        QTest::newRow("skips are never unexpected") << command('S', "!!!!!!") << QString();
        QTest::newRow("built-in characters") << command('M', " 09:@AZ") << QString();
    }

    // Values outside what the modules expect are stored but named in the report.
    void reportsUnexpectedValues()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, unexpected);
        const Run run(6, input);
        const QString report = run.reports.last();
        if (unexpected.isEmpty())
            QVERIFY2(!report.contains(QStringLiteral("unexpected")), qPrintable(report));
        else
            QVERIFY2(report.endsWith(QStringLiteral(" unexpected: ") + unexpected),
                     qPrintable(report));
    }

    void writesUserFont_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("frameKinds");

        const QString off = QString(15, QLatin1Char('0'));
        QTest::newRow("pattern of A") << command('W', "A110000000000001") << 65
                                      << QStringLiteral("110000000000001") << QStringLiteral("W");
        QTest::newRow("code 10") << command('W', "\n111111111111111") << 10
                                 << QStringLiteral("111111111111111") << QStringLiteral("W");
        QTest::newRow("code 125") << command('W', "}000000000000011") << 125
                                  << QStringLiteral("000000000000011") << QStringLiteral("W");
        QTest::newRow("a later W replaces")
                << command('W', "A111111111111111") + command('W', "A000000000000010") << 65
                << QStringLiteral("000000000000010") << QStringLiteral("W,W");
        QTest::newRow("15 characters")
                << command('W', "A11000000000000") << 65 << off << QStringLiteral("E");
        QTest::newRow("17 characters")
                << command('W', "A1100000000000011") << 65 << off << QStringLiteral("E");
        QTest::newRow("empty") << command('W', "") << 65 << off << QStringLiteral("E");
        QTest::newRow("state not 0 or 1")
                << command('W', "A11000000000000x") << 65 << off << QStringLiteral("E");
        QTest::newRow("code 33 is the skip marker")
                << command('W', "!110000000000001") << 33 << off << QStringLiteral("E");
        QTest::newRow("code 9") << command('W', "\t110000000000001") << 9 << off
                                << QStringLiteral("E");
        QTest::newRow("code 126") << command('W', "~110000000000001") << 126 << off
                                  << QStringLiteral("E");
        QTest::newRow("wrong W keeps the earlier pattern")
                << command('W', "A111111111111111") + command('W', "A0") << 65
                << QStringLiteral("111111111111111") << QStringLiteral("W,E");
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
        QTest::addColumn<int>("digit");
        QTest::addColumn<QString>("expected");

        QTest::newRow("blank at start") << QByteArray() << 0 << segments({});
        QTest::newRow("built-in A") << command('M', "A") << 0 << BuiltinFont::pattern('A');
        QTest::newRow("built-in 7 on digit 3")
                << command('M', "!!7") << 2 << BuiltinFont::pattern('7');
        QTest::newRow("built-in font 5 shows the same shape")
                << command('F', "5") + command('M', "A") << 0 << BuiltinFont::pattern('A');
        QTest::newRow("no shape for a lower-case letter") << command('M', "a") << 0 << segments({});
        QTest::newRow("user font shows the written pattern")
                << command('W', "A100000000000001") + command('F', "U") + command('M', "A") << 0
                << segments({0, 14});
        QTest::newRow("user font code 10")
                << command('W', "\n011000000000000") + command('F', "U") + command('M', "\n") << 0
                << segments({1, 2});
        QTest::newRow("user font unwritten code")
                << command('F', "U") + command('M', "z") << 0 << segments({});
        QTest::newRow("pattern written after the character is shown")
                << command('F', "U") + command('M', "A") + command('W', "A000100000000000") << 0
                << segments({3});
        QTest::newRow("underscore on a blank") << command('U', "1") << 0 << segments({14});
        QTest::newRow("underscore on a built-in character")
                << command('M', "L") + command('U', "1") << 0 << segments({3, 4, 5, 14});
        QTest::newRow("underscore on a user character")
                << command('W', "A100000000000000") + command('F', "U") + command('M', "A")
                           + command('U', "1")
                << 0 << segments({0, 14});
        QTest::newRow("underscore off clears segment 14 of a built-in shape")
                << command('U', "1") + command('U', "0") + command('M', "T") << 0
                << segments({0, 7, 11});
    }

    void digitShows()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, digit);
        QFETCH(QString, expected);
        const Run run(6, input);
        QCOMPARE(run.state.digitPattern(digit), expected);
    }

    void builtinTableCoversTheCharacterSet()
    {
        QCOMPARE(BuiltinFont::characters(),
                 QByteArray(" 0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        QSet<QString> shapes;
        for (const char character : BuiltinFont::characters()) {
            const QString pattern = BuiltinFont::pattern(character);
            QCOMPARE(pattern.size(), 15);
            for (const QChar state : pattern)
                QVERIFY(state == QLatin1Char('0') || state == QLatin1Char('1'));
            QCOMPARE(pattern.at(14), QLatin1Char('0'));
            if (character != ' ')
                QVERIFY2(pattern.contains(QLatin1Char('1')), &character);
            shapes.insert(pattern);
        }
        // Two characters with one shape could not be told apart on the display.
        QCOMPARE(shapes.size(), BuiltinFont::characters().size());
        QVERIFY(BuiltinFont::pattern('a').isEmpty());
        QVERIFY(BuiltinFont::pattern('!').isEmpty());
    }

    void malformedInput_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("frameKinds");
        QTest::addColumn<QString>("problem");

        QTest::newRow("unknown letter") << QByteArray("$B7X12\r") << QStringLiteral("E")
                                        << QStringLiteral("unknown command letter \"X\"");
        QTest::newRow("lower-case letter") << QByteArray("$B7m1\r") << QStringLiteral("E")
                                           << QStringLiteral("unknown command letter \"m\"");
        QTest::newRow("no letter") << QByteArray("$B7\r") << QStringLiteral("E")
                                   << QStringLiteral("no command letter");
        QTest::newRow("other prefix")
                << QByteArray("$A7M1\r") << QStringLiteral("E") << QStringLiteral("not a command");
        QTest::newRow("lone dollar")
                << QByteArray("$\r") << QStringLiteral("E") << QStringLiteral("not a command");
        QTest::newRow("garbage before $") << QByteArray("xy$B7M1\r") << QStringLiteral("E,M")
                                          << QStringLiteral("bytes outside a frame");
        QTest::newRow("garbage line") << QByteArray("noise\r$B7M1\r") << QStringLiteral("E,M")
                                      << QStringLiteral("bytes outside a frame");
        QTest::newRow("line feed after CR")
                << QByteArray("$B7M1\r\n$B7M2\r") << QStringLiteral("M,E,M")
                << QStringLiteral("bytes outside a frame");
        QTest::newRow("high and zero bytes")
                << QByteArray("\xff\x00$B7M1\r", 9) << QStringLiteral("E,M")
                << QStringLiteral("bytes outside a frame");
        QTest::newRow("63 bytes and CR is a frame")
                << QByteArray("$B7M") + QByteArray(59, 'A') + '\r' << QStringLiteral("M")
                << QString();
        QTest::newRow("64 bytes without CR")
                << QByteArray("$B7M") + QByteArray(60, 'A') + "\r$B7M2\r" << QStringLiteral("E,M")
                << QStringLiteral("no CR within 64 bytes");
        QTest::newRow("long frame dropped up to its CR")
                << QByteArray("$B7M") + QByteArray(100, 'A') + "$B7M3\r$B7M2\r"
                << QStringLiteral("E,M") << QStringLiteral("no CR within 64 bytes");
        QTest::newRow("garbage flood in 64-byte reports")
                << QByteArray(130, 'x') << QStringLiteral("E,E")
                << QStringLiteral("bytes outside a frame");
        QTest::newRow("probe") << QByteArray("$0000\r") << QStringLiteral("P") << QString();
        QTest::newRow("probe with extra zero")
                << QByteArray("$00000\r") << QStringLiteral("E") << QStringLiteral("not a command");
        QTest::newRow("W of the wrong length") << command('W', "A1") << QStringLiteral("E")
                                               << QStringLiteral("W needs 16 characters");
    }

    // Every bad input is one report, and the next good frame is decoded.
    void malformedInput()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, frameKinds);
        QFETCH(QString, problem);
        FrameDecoder decoder;
        const QList<DecodedFrame> frames = decoder.feed(input);
        QCOMPARE(kinds(frames), frameKinds);
        if (!problem.isEmpty()) {
            const auto bad = std::find_if(frames.begin(), frames.end(), [](const DecodedFrame &f) {
                return f.kind == DecodedFrame::Kind::Malformed;
            });
            QVERIFY(bad != frames.end());
            QVERIFY2(bad->problem.startsWith(problem), qPrintable(bad->problem));
            ChainState state;
            const ChainState::Outcome outcome = state.apply(*bad);
            QVERIFY(outcome.report.startsWith(QStringLiteral("error: ") + problem));
            QVERIFY(outcome.reply.isEmpty());
            QCOMPARE(state.characters(), QByteArray("      "));
        }
        const QList<DecodedFrame> after = decoder.feed(command('M', "OK"));
        QVERIFY(!after.isEmpty());
        QCOMPARE(after.last().kind, DecodedFrame::Kind::Command);
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

    void onlyTheProbeIsAnswered()
    {
        ChainState state;
        FrameDecoder decoder;
        const QList<DecodedFrame> frames
                = decoder.feed(QByteArray("$0000\r") + command('M', "0000") + "$B7Q\r");
        QCOMPARE(kinds(frames), QStringLiteral("P,M,E"));
        const ChainState::Outcome probe = state.apply(frames.at(0));
        QCOMPARE(probe.reply, QByteArray("!0000022600"));
        QCOMPARE(state.characters(), QByteArray("      "));
        QVERIFY(state.apply(frames.at(1)).reply.isEmpty());
        QVERIFY(state.apply(frames.at(2)).reply.isEmpty());
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
        QTest::addColumn<int>("digits");
        QTest::addColumn<bool>("dump");
        QTest::addColumn<bool>("help");
        QTest::addColumn<bool>("refused");

        QTest::newRow("none") << QStringList() << 6 << false << false << false;
        QTest::newRow("digits 10")
                << QStringList{"--digits", "10"} << 10 << false << false << false;
        QTest::newRow("digits=1 and dump")
                << QStringList{"--digits=1", "--dump"} << 1 << true << false << false;
        QTest::newRow("help") << QStringList{"--help"} << 6 << false << true << false;
        QTest::newRow("-h") << QStringList{"-h"} << 6 << false << true << false;
        QTest::newRow("digits 0") << QStringList{"--digits", "0"} << 6 << false << false << true;
        QTest::newRow("digits 11") << QStringList{"--digits", "11"} << 6 << false << false << true;
        QTest::newRow("digits text") << QStringList{"--digits=six"} << 6 << false << false << true;
        QTest::newRow("digits missing") << QStringList{"--digits"} << 6 << false << false << true;
        QTest::newRow("unknown") << QStringList{"--port"} << 6 << false << false << true;
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, digits);
        QFETCH(bool, dump);
        QFETCH(bool, help);
        QFETCH(bool, refused);
        const ChainOptions options = ChainOptions::parse(arguments);
        QCOMPARE(!options.error.isEmpty(), refused);
        if (refused)
            return;
        QCOMPARE(options.digits, digits);
        QCOMPARE(options.dump, dump);
        QCOMPARE(options.help, help);
    }
};

QTEST_MAIN(TestChainDecoder)
#include "tst_chaindecoder.moc"
