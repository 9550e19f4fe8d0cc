#include "chain/builtinfont.h"
#include "chain/chainoptions.h"
#include "chain/chainstate.h"
#include "chain/framedecoder.h"

#include <QTest>

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

// What the chain holds for `what`: a per-digit letter ("M" the characters, "F", "U", "E",
// "S"), "W" and a code for that user-font pattern, or "D" and a digit for what it shows.
QString probe(const ChainState &state, const QString &what)
{
    const int number = what.mid(1).toInt();
    switch (what.at(0).toLatin1()) {
    case 'M':
        return QString::fromLatin1(state.characters());
    case 'F':
        return QString::fromLatin1(state.fonts());
    case 'U':
        return QString::fromLatin1(state.underscores());
    case 'E':
        return QString::fromLatin1(state.effects());
    case 'S':
        return QString::fromLatin1(state.speeds());
    case 'W':
        return state.userPattern(number);
    default:
        return state.digitPattern(number);
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
    // Values outside what the modules expect are stored but named in the report; a W command
    // of the wrong shape is an error that changes nothing.
    void commandsChangeTheChain_data()
    {
        QTest::addColumn<int>("digits");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("unexpected"); // "error": the last frame is malformed

        const QByteArray abc = command('M', "ABCDEF");
        const QByteArray userA = command('F', "U") + command('M', "A");
        const QString off(15, QLatin1Char('0'));
        // clang-format off
        QTest::newRow("message") << 6 << command('M', "HELLO ") << "M" << "HELLO " << "";
        QTest::newRow("message skips with !") << 6 << abc + command('M', "!!X!!Z") << "M"
                << "ABXDEZ" << "";
        QTest::newRow("long message: extra characters ignored") << 3 << abc << "M" << "ABC" << "";
        QTest::newRow("six-space blank on ten digits")
                << 10 << command('M', "0123456789") + command('M', "      ") << "M"
                        << "      6789" << "";
        QTest::newRow("code 10 is a character") << 6 << command('F', "U") + command('M', "\n")
                << "M" << "\n     " << "";
        QTest::newRow("fonts skip") << 6 << command('F', "UUUUUU") + command('F', "!1!2!3")
                << "F" << "U1U2U3" << "";
        QTest::newRow("one underscore") << 6 << command('U', "1") << "U" << "100000" << "";
        QTest::newRow("font X") << 6 << command('F', "1X") << "F" << "1X0000" << "digit 2 \"X\"";
        QTest::newRow("code 10 in a built-in font") << 6 << command('M', "\n") << "M"
                << "\n     " << "digit 1 \"\\x0a\"";
        QTest::newRow("underscore 2") << 6 << command('U', "!2") << "U" << "020000"
                << "digit 2 \"2\"";
        QTest::newRow("pattern of A") << 6 << command('W', "A110000000000001") << "W65"
                << "110000000000001" << "";
        QTest::newRow("pattern of code 10") << 6 << command('W', "\n111111111111111") << "W10"
                << "111111111111111" << "";
        QTest::newRow("W of 15 characters") << 6 << command('W', "A11000000000000") << "W65"
                << off << "error";
        QTest::newRow("W state not 0 or 1") << 6 << command('W', "A11000000000000x") << "W65"
                << off << "error";
        QTest::newRow("W of code 33, the skip marker") << 6 << command('W', "!110000000000001")
                << "W33" << off << "error";
        QTest::newRow("wrong W keeps the earlier pattern")
                << 6 << command('W', "A111111111111111") + command('W', "A0") << "W65"
                        << "111111111111111" << "error";
        QTest::newRow("blank at start") << 6 << QByteArray() << "D0" << off << "";
        QTest::newRow("built-in font 5 shows the built-in shape")
                << 6 << command('F', "5") + command('M', "A") << "D0"
                        << BuiltinFont::pattern('A') << "";
        QTest::newRow("user font shows the written pattern")
                << 6 << command('W', "A100000000000001") + userA << "D0" << segments({0, 14}) << "";
        QTest::newRow("pattern written after the character is shown")
                << 6 << userA + command('W', "A000100000000000") << "D0" << segments({3}) << "";
        QTest::newRow("underscore on a built-in character")
                << 6 << command('M', "L") + command('U', "1") << "D0" << segments({3, 4, 5, 14})
                        << "";
        // clang-format on
    }
    void commandsChangeTheChain()
    {
        QFETCH(int, digits);
        QFETCH(QByteArray, input);
        QFETCH(QString, what);
        QFETCH(QString, expected);
        QFETCH(QString, unexpected);
        const Run run(digits, input);
        QCOMPARE(probe(run.state, what), expected);
        const QString report = run.reports.isEmpty() ? QString() : run.reports.last();
        if (unexpected == QLatin1String("error"))
            QVERIFY2(report.startsWith(QStringLiteral("error: ")), qPrintable(report));
        else if (unexpected.isEmpty())
            QVERIFY2(!report.contains(QStringLiteral("unexpected"))
                             && !report.startsWith(QStringLiteral("error")),
                     qPrintable(report));
        else
            QVERIFY2(report.endsWith(" unexpected: " + unexpected), qPrintable(report));
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

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("digits"); // 0: refused
        QTest::addColumn<bool>("dump");
        // clang-format off
        QTest::newRow("none") << QStringList() << 6 << false;
        QTest::newRow("digits=1 and dump") << QStringList{"--digits=1", "--dump"} << 1 << true;
        QTest::newRow("digits 11") << QStringList{"--digits", "11"} << 0 << false;
        QTest::newRow("digits missing") << QStringList{"--digits"} << 0 << false;
        QTest::newRow("unknown") << QStringList{"--port"} << 0 << false;
        // clang-format on
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, digits);
        QFETCH(bool, dump);
        const ChainOptions options = ChainOptions::parse(arguments);
        QCOMPARE(options.error.isEmpty(), digits > 0);
        if (digits == 0)
            return;
        QCOMPARE(options.digits, digits);
        QCOMPARE(options.dump, dump);
    }
};

QTEST_MAIN(TestChainDecoder)
#include "tst_chaindecoder.moc"
