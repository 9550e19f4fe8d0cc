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

        QTest::newRow("six skip markers")
                << 'M' << QByteArray("!!!!!!") << QByteArray("$B7M!!!!!!\r");
        QTest::newRow("default fonts") << 'F' << QByteArray("000000") << QByteArray("$B7F000000\r");
        QTest::newRow("underscore") << 'U' << QByteArray("01!") << QByteArray("$B7U01!\r");
        QTest::newRow("effects") << 'E' << QByteArray("9") << QByteArray("$B7E9\r");
        QTest::newRow("speeds") << 'S' << QByteArray("0123456789")
                                << QByteArray("$B7S0123456789\r");
        QTest::newRow("empty argument") << 'F' << QByteArray() << QByteArray("$B7F\r");
        QTest::newRow("six blanks") << 'M' << QByteArray("      ") << QByteArray("$B7M      \r");
        // Code 10 is data here, not a line end.
        QTest::newRow("user code 10")
                << 'M' << QByteArray(1, '\x0A') << QByteArray("\x24\x42\x37\x4D\x0A\x0D", 6);
        QTest::newRow("full pattern")
                << 'W' << QByteArray("A111111111111110") << QByteArray("$B7WA111111111111110\r");
    }

    void buildsFrames()
    {
        QFETCH(char, letter);
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, frame);
        const QByteArray built = Command::build(letter, argument);
        QCOMPARE(built, frame);
        QCOMPARE(built.size(), argument.size() + 5);
        QCOMPARE(built.count('\r'), 1);
        QVERIFY(Command::isWellFormed(built));
    }

    void writeCommandIs21Bytes()
    {
        const QByteArray pattern(15, '1');
        const QByteArray built = Command::build('W', QByteArray(1, 'Z') + pattern);
        QCOMPARE(built.size(), 21);
        QCOMPARE(built.left(5), QByteArray("$B7WZ"));
        QCOMPARE(built.mid(5, 15), pattern);
        QCOMPARE(built.at(20), '\r');
    }

    void refusesBrokenFrames_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<QByteArray>("argument");

        QTest::newRow("CR alone") << 'M' << QByteArray("\r");
        QTest::newRow("CR in the middle") << 'M' << QByteArray("AB\rCD");
        QTest::newRow("CR at the end") << 'F' << QByteArray("000\r");
        QTest::newRow("lower-case letter") << 'm' << QByteArray("AAAAAA");
        QTest::newRow("unknown letter") << 'X' << QByteArray("000000");
        QTest::newRow("NUL letter") << '\0' << QByteArray();
        QTest::newRow("prefix character as letter") << '$' << QByteArray();
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
        QTest::newRow("message") << QByteArray("$B7MAAAAAA\r") << true;
        QTest::newRow("no terminator") << QByteArray("$B7MAAAAAA") << false;
        QTest::newRow("two terminators") << QByteArray("$B7MA\rA\r") << false;
        QTest::newRow("line feed after CR") << QByteArray("$B7MA\r\n") << false;
        QTest::newRow("wrong prefix") << QByteArray("$B8MA\r") << false;
        QTest::newRow("lower-case letter") << QByteArray("$B7mA\r") << false;
        QTest::newRow("scan probe") << QByteArray("$0000\r") << false;
        QTest::newRow("too short") << QByteArray("$B7\r") << false;
        QTest::newRow("empty") << QByteArray() << false;
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
