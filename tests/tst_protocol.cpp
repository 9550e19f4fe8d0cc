#include "support/testhelpers.h"

#include "protocol/coderules.h"
#include "protocol/command.h"
#include "protocol/fieldrules.h"
#include "protocol/messagecommands.h"
#include "protocol/receiveformat.h"

#include <QTest>

#include <stdexcept>
#include <tuple>

// The chain's command language, the rules of the message and code fields, the receive log
// text and the commands the message blocks send.
class TestProtocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frames_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("frame"); // empty: refused
        QTest::newRow("code 10 is data") << 'M' << QByteArray("\n") << QByteArray("$B7M\n\r");
        QTest::newRow("CR in the argument") << 'M' << QByteArray("AB\rCD") << QByteArray();
        QTest::newRow("lower-case letter") << 'm' << QByteArray("AAAAAA") << QByteArray();
        QTest::newRow("unknown letter") << 'X' << QByteArray("000000") << QByteArray();
    }
    void frames()
    {
        QFETCH(char, letter);
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, frame);
        if (frame.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Command::build(letter, argument));
            return;
        }
        QCOMPARE(Command::build(letter, argument), frame);
        QVERIFY(Command::isWellFormed(frame));
        QVERIFY(!Command::isWellFormed(frame + "\r"));
        QVERIFY(!Command::isWellFormed(frame.chopped(1)));
    }

    void rules_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        using namespace CodeRules;
        using namespace FieldRules;
        const auto n = [](int code) { return QString::number(code); };
        const QString twentyB(20, QLatin1Char('B'));
        // clang-format off
        // An entered character as itself, the other verdicts as E(nter), P(ass) and S(wallow).
        const auto verdictText = [](KeyVerdict v) { return v.kind ? QString(QLatin1Char("IEPS"[v.kind])) : QString(v.character); };
        QTest::newRow("below the range") << n(selectedCode("9")) << "10";
        QTest::newRow("above the range") << n(selectedCode(QString(40, QLatin1Char('9')))) << "125";
        QTest::newRow("13 selects 14") << n(selectedCode("13")) << "14";
        QTest::newRow("33 selects 34") << n(selectedCode("33")) << "34";
        QTest::newRow("next over 13") << n(nextCode(12)) << "14";
        QTest::newRow("next over 33") << n(nextCode(32)) << "34";
        QTest::newRow("previous over 33") << n(previousCode(34)) << "32";
        QTest::newRow("next at the end") << n(nextCode(125)) << "125";
        const QList<std::tuple<const char *, KeyVerdict (*)(int), int, const char *>> rows = {
            {"sentence", sentenceKey, 'z', "Z"}, {"sentence", sentenceKey, ':', ":"},
            {"sentence", sentenceKey, '@', "@"}, {"sentence", sentenceKey, ' ', " "},
            {"sentence", sentenceKey, '!', "!"}, {"sentence", sentenceKey, '"', "S"},
            {"sentence", sentenceKey, '[', "S"}, {"sentence", sentenceKey, 13, "E"},
            {"sentence", sentenceKey, 127, "P"},
            {"sentence", sentenceKey, 'A' + 256, "S"},
            {"fonts", fontsKey, 'u', "U"}, {"fonts", fontsKey, 'V', "S"},
            {"underscore", underscoreKey, '1', "1"}, {"underscore", underscoreKey, '!', "!"},
            {"underscore", underscoreKey, '2', "S"},
            {"effects", effectsKey, '9', "9"}, {"effects", effectsKey, 'U', "S"},
            {"speeds", speedsKey, '!', "!"}, {"speeds", speedsKey, '.', "S"},
        };
        for (const auto &[field, filter, code, verdict] : rows)
            QTest::addRow("%s %d", field, code) << verdictText(filter(code)) << verdict;
        QTest::newRow("mlength 0 first") << verdictText(mlengthKey('0', "")) << "S";
        QTest::newRow("mlength 0 after 1") << verdictText(mlengthKey('0', "1")) << "0";
        QTest::newRow("mlength Delete") << verdictText(mlengthKey(127, "1")) << "P";
        QTest::newRow("last character repeated") << fitlength("12", 3) << "122";
        QTest::newRow("cut") << fitlength("1234567890", 6) << "123456";
        QTest::newRow("twenty copies at most") << fitlength("AB", 25) << "AB" + twentyB;
        QTest::newRow("empty message stays empty") << settledMessage("", 3) << "";
        QTest::newRow("empty attribute becomes 0") << settledAttribute("", 3) << "000";
        QTest::newRow("reset message") << resetMessage(3) << "AAA";
        QTest::newRow("received CR and controls") << formatReceived("A\r\x1f\x7f\x80").text << "A[CR]\r\n[1F]\x7f[80]";
        using namespace MessageCommands;
        QTest::newRow("message") << onWire(message("AB")) << "$B7MAB\r(5)";
        QTest::newRow("attribute, then the message") << onWire(attribute('U', "01", "AB")) << "$B7U01\r(5)$B7MAB\r(5)";
        QTest::newRow("write all") << onWire(writeAll("U0", "12", "34", "AB")) << "$B7FU0\r(5)$B7E12\r(5)$B7S34\r(5)$B7MAB\r(5)";
        QTest::newRow("blank, six spaces on any chain") << onWire(blank(3)) << "$B7F000\r(10)$B7M      \r(10)";
        QTest::newRow("character") << onWire(showCharacter(65, 7)) << "$B7MA\r(7)";
        QTest::newRow("no character past a byte") << onWire(showCharacter(256, 7)) << "";
        // clang-format on
    }
    void rules()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }
};

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
