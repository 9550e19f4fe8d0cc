#include "support/testsupport.h"
#include "widgets/trafficlog.h"

#include "widgets/alert.h"
#include "core/basicutilities.h"
#include "widgets/logpane.h"
#include "panels/portchooser.h"
#include "protocol/receiveformat.h"
#include "support/recordingport.h"
#include "serial/seriallink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

// The transmit routine and both traffic logs, seen through the recording port and the panes.
class TestComWrite : public QObject
{
    Q_OBJECT

    static QString rxbufferbox(TestWindow &t)
    {
        return t.find<QLineEdit>(QStringLiteral("rxbufferbox"))->text();
    }

private Q_SLOTS:
    void initTestCase() { InitConstants(); }

    void logText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("hexlog");
        QTest::addColumn<int>("nospace");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("cr") << QByteArray("$B7MAAAAA\r") << 0 << 0 << "$B7MAAAAA[cr]";
        QTest::newRow("crlf") << QByteArray("abc\r\n") << 0 << 0 << "abc[nl]";
        QTest::newRow("lf") << QByteArray("abc\n") << 0 << 0 << "abc[lf]";
        QTest::newRow("control inside kept") << QByteArray("$B7M\n\r") << 0 << 0 << "$B7M\n[cr]";
        QTest::newRow("empty") << QByteArray() << 0 << 0 << "";
        QTest::newRow("hex run together") << QByteArray("$B7\r") << 1 << 1 << "2442370D";
        // clang-format on
    }
    void logText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, hexlog);
        QFETCH(int, nospace);
        QFETCH(QString, expected);
        QCOMPARE(SerialLink::logText(text, hexlog, nospace), expected);
    }

    void sendsExactBytesLogsAndPauses()
    {
        TestWindow t;
        t.openPort();
        QCOMPARE(t.port().openedSettings(), QStringLiteral("9600,n,8,1"));
        t.clearSent();
        t.window().link().ComWrite("$B7MAAAAAA\r", 5);
        t.window().link().ComWrite("$B7MAAAAAA\r", 5);
        t.window().link().ComWrite("$B7W\n\r", 10, 1, 0);
        QCOMPARE(t.sent(), (QByteArrayList{"$B7MAAAAAA\r", "$B7MAAAAAA\r", "$B7W\n\r"}));
        QCOMPARE(t.pauses(), (QList<int>{5, 5, 10}));
        QCOMPARE(t.window().trafficLog().txlog(),
                 QStringLiteral("$B7MAAAAAA[cr]\r\n$B7MAAAAAA[cr]\r\n24 42 37 57 0A 0D \r\n"));
        auto *pane = t.find<LogPane>(QStringLiteral("serialout"));
        QCOMPARE(pane->textCursor().position(), pane->document()->characterCount() - 1);
        QCOMPARE(rxbufferbox(t), QString());
    }

    void noPortLogsButSendsNothing()
    {
        TestWindow t;
        t.window().link().ComWrite("$B7MA\r", 5);
        QVERIFY(t.sent().isEmpty());
        QVERIFY(t.pauses().isEmpty());
        QCOMPARE(rxbufferbox(t), QStringLiteral("[No port is selected]"));
        QCOMPARE(t.window().trafficLog().txlog(), QStringLiteral("$B7MA[cr]\r\n"));
        t.openPort();
        QCOMPARE(rxbufferbox(t), QString());
    }

    void transmitLogSwitchedOffOrCleared()
    {
        TestWindow t;
        t.openPort();
        auto *logtraffic = t.find<QCheckBox>(QStringLiteral("logtraffic"));
        t.window().link().ComWrite("$B7MA\r", 5);
        logtraffic->setChecked(false);
        t.window().link().ComWrite("$B7MB\r", 5);
        logtraffic->setChecked(true);
        t.window().link().ComWrite("$B7MC\r", 5);
        QCOMPARE(t.window().trafficLog().txlog(), QStringLiteral("$B7MA[cr]\r\n$B7MC[cr]\r\n"));
        QCOMPARE(t.sent().size(), 3);
        QTest::mouseDClick(t.find<LogPane>(QStringLiteral("serialout"))->viewport(),
                           Qt::LeftButton);
        QCOMPARE(t.window().trafficLog().txlog(), QString());
        t.window().link().ComWrite("$B7MD\r", 5);
        QCOMPARE(t.window().trafficLog().txlog(), QStringLiteral("$B7MD[cr]\r\n"));
    }

    void portFailureAlertsOnceAndCloses_data()
    {
        QTest::addColumn<bool>("whileWriting");
        QTest::newRow("write fails") << true;
        QTest::newRow("device lost while open") << false;
    }
    void portFailureAlertsOnceAndCloses()
    {
        QFETCH(bool, whileWriting);
        TestWindow t;
        t.openPort();
        t.clearSent();
        if (whileWriting) {
            t.port().failWrites(PortError{qint32(0x80040206u), QStringLiteral("gone")});
        } else {
            t.port().loseDevice(PortError{qint32(0x8000FFFFu), QStringLiteral("unplugged")});
            t.port().loseDevice(PortError{qint32(0x8000FFFFu), QStringLiteral("unplugged")});
        }
        t.window().link().ComWrite("$B7MA\r", 5);
        t.window().link().ComWrite("$B7MB\r", 5);
        QCOMPARE(alertHistory().size(), 1);
        QCOMPARE(alertHistory().first().title, QStringLiteral("ComWrite error"));
        QCOMPARE(alertHistory().first().style, AlertStyle::Error);
        QVERIFY(alertHistory().first().text.startsWith(whileWriting ? "Error Code: 0x80040206"
                                                                    : "Error Code: 0x8000FFFF"));
        QVERIFY(!t.window().link().portopen());
        QVERIFY(!t.port().isOpen());
        QCOMPARE(t.find<QComboBox>(QStringLiteral("portselect"))->currentIndex(), 0);
        QVERIFY(t.pauses().isEmpty());
        QCOMPARE(rxbufferbox(t), QStringLiteral("[No port is selected]"));
    }

    // The port closed, or the program asked to close, while ComWrite yields before writing.
    void nothingIsSentOnceClosed_data()
    {
        QTest::addColumn<bool>("shutdown");
        QTest::newRow("port closed during the first yield") << false;
        QTest::newRow("after shutdown") << true;
    }
    void nothingIsSentOnceClosed()
    {
        QFETCH(bool, shutdown);
        TestWindow t;
        t.openPort();
        t.clearSent();
        QTimer::singleShot(0, &t.window(), [&] {
            shutdown ? requestShutdown() : t.window().portChooser().select(0);
        });
        t.window().link().ComWrite("$B7MA\r", 5);
        QVERIFY(t.sent().isEmpty());
        QVERIFY(alertHistory().isEmpty());
    }

    void receiveFormat_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refresh");
        // clang-format off
        QTest::newRow("reply with CR") << QByteArray("!0000022600\r") << "!0000022600[CR]\r\n"
                << true;
        QTest::newRow("lone LF") << QByteArray("\n") << "[0A]" << false;
        QTest::newRow("high bytes") << QByteArray("\x80\xff") << "[80][FF]" << false;
        QTest::newRow("printable and DEL") << QByteArray("a~\x7f") << "a~\x7f" << true;
        QTest::newRow("NUL") << QByteArray(1, '\0') << "[00]" << false;
        // clang-format on
    }
    void receiveFormat()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        QFETCH(bool, refresh);
        const ReceivedLogText formatted = formatReceived(data);
        QCOMPARE(formatted.text, text);
        QCOMPARE(formatted.refresh, refresh);
    }

    void receivePane()
    {
        TestWindow t;
        t.openPort();
        // A lone control character is logged but shows with the next printable one or CR.
        auto *pane = t.find<LogPane>(QStringLiteral("serialin"));
        t.port().receive("\n");
        QCOMPARE(pane->toPlainText(), QString());
        t.port().receive("ok\r");
        QCOMPARE(pane->toPlainText(), QStringLiteral("[0A]ok[CR]\n"));
        QVERIFY(t.window().trafficLog().rxbuffer().isEmpty());
        QTest::mouseDClick(pane->viewport(), Qt::LeftButton);
        auto *enable = t.find<QCheckBox>(QStringLiteral("rxlogenable"));
        enable->setChecked(false);
        t.port().receive("lost\r");
        enable->setChecked(true);
        t.port().receive("kept\r");
        QCOMPARE(t.window().trafficLog().rxlog(), QStringLiteral("kept[CR]\r\n"));
        QTest::mouseDClick(pane->viewport(), Qt::LeftButton);
        QCOMPARE(t.window().trafficLog().rxlog(), QString());
        t.port().receive("new\r");
        QCOMPARE(t.window().trafficLog().rxlog(), QStringLiteral("new[CR]\r\n"));
    }

    void logsKeepNewestHundredThousandLines()
    {
        TestWindow t;
        auto *pane = t.find<LogPane>(QStringLiteral("serialout"));
        for (int i = 0; i < LogPane::kMaxLines + 50; ++i)
            pane->appendText(QString::number(i) + QStringLiteral("\r\n"));
        QCOMPARE(pane->lineCount(), LogPane::kMaxLines);
        QVERIFY(pane->toPlainText().startsWith(QStringLiteral("50\n")));
        QVERIFY(pane->toPlainText().endsWith(QString::number(LogPane::kMaxLines + 49) + '\n'));
    }
};

QTEST_MAIN(TestComWrite)
#include "tst_comwrite.moc"
