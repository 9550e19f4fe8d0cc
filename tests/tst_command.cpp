#include "protocol/command.h"

#include <QTest>

#include <stdexcept>

// The frames the chain receives, byte for byte, and the frames the builder refuses to make.
class TestCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buildsFrames_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("frame");
        // clang-format off
        QTest::newRow("six skip markers") << 'M' << QByteArray("!!!!!!")
                << QByteArray("$B7M!!!!!!\r");
        QTest::newRow("empty argument") << 'F' << QByteArray() << QByteArray("$B7F\r");
        QTest::newRow("six blanks") << 'M' << QByteArray("      ") << QByteArray("$B7M      \r");
        // Code 10 is data here, not a line end.
        QTest::newRow("user code 10") << 'M' << QByteArray(1, '\x0A')
                                      << QByteArray("\x24\x42\x37\x4D\x0A\x0D", 6);
        // 3 bytes of prefix, the letter, the code, 15 segment states and CR: 21 bytes.
        QTest::newRow("full pattern") << 'W' << QByteArray("A111111111111110")
                                      << QByteArray("$B7WA111111111111110\r");
        // clang-format on
    }
    void buildsFrames()
    {
        QFETCH(char, letter);
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, frame);
        const QByteArray built = Command::build(letter, argument);
        QCOMPARE(built, frame);
        QVERIFY(Command::isWellFormed(built));
    }

    void refusesBrokenFrames_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QByteArray>("argument");
        QTest::newRow("CR in the middle") << 'M' << QByteArray("AB\rCD");
        QTest::newRow("CR at the end") << 'F' << QByteArray("000\r");
        QTest::newRow("lower-case letter") << 'm' << QByteArray("AAAAAA");
        QTest::newRow("unknown letter") << 'X' << QByteArray("000000");
        QTest::newRow("NUL letter") << '\0' << QByteArray();
    }
    void refusesBrokenFrames()
    {
        QFETCH(char, letter);
        QFETCH(QByteArray, argument);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Command::build(letter, argument));
    }

    void recognisesWellFormedFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("empty argument") << QByteArray("$B7M\r") << true;
        QTest::newRow("no terminator") << QByteArray("$B7MAAAAAA") << false;
        QTest::newRow("two terminators") << QByteArray("$B7MA\rA\r") << false;
        QTest::newRow("line feed after CR") << QByteArray("$B7MA\r\n") << false;
        QTest::newRow("wrong prefix") << QByteArray("$B8MA\r") << false;
        QTest::newRow("lower-case letter") << QByteArray("$B7mA\r") << false;
        QTest::newRow("scan probe") << QByteArray("$0000\r") << false;
    }
    void recognisesWellFormedFrames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, wellFormed);
        QCOMPARE(Command::isWellFormed(bytes), wellFormed);
    }
};

QTEST_MAIN(TestCommand)
#include "tst_command.moc"
