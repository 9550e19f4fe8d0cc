#include "support/testsupport.h"

#include "font/segmentgeometry.h"
#include "font/segmentpreview.h"
#include "protocol/filteredlineedit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPushButton>
#include <QTest>

// The two-digit character field and "Send character" on the COMM tab.
class TestSingleChar : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> m_t;
    FilteredLineEdit *m_singlechar = nullptr;
    QPushButton *m_send = nullptr;

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestWindow>();
        m_singlechar = m_t->find<FilteredLineEdit>(QStringLiteral("singlechar"));
        m_send = m_t->find<QPushButton>(QStringLiteral("Command2_12"));
        QVERIFY(m_singlechar && m_send);
        m_t->openPort();
        m_t->clearSent();
    }
    void cleanup() { m_t.reset(); }

    void startsAsDocumented()
    {
        QCOMPARE(m_singlechar->text(), QStringLiteral("00"));
        QCOMPARE(m_send->text(), QStringLiteral("Send character"));
        QCOMPARE(m_send->toolTip(), QStringLiteral("Send all settings below to display string.  To "
                                                   "write any single setting block, hit enter on "
                                                   "that block"));
    }

    void typingAndSettling_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("result");
        QTest::newRow("a entered as A") << "a" << true << "0A";
        QTest::newRow("5 then Enter") << "5" << true << "05";
        QTest::newRow("nothing, focus loss") << "" << false << "00";
        QTest::newRow("g enters nothing") << "g" << true << "00";
        QTest::newRow("two digits stay") << "fE" << false << "FE";
        QTest::newRow("a third is not typed") << "abc" << true << "AB";
    }
    void typingAndSettling()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        QFETCH(QString, result);
        m_singlechar->clear();
        QTest::keyClicks(m_singlechar, typed);
        if (byEnter) {
            QTest::keyClick(m_singlechar, Qt::Key_Return);
        } else {
            QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(m_singlechar, &focusOut);
        }
        QCOMPARE(m_singlechar->text(), result);
        QVERIFY(m_t->sent().isEmpty());
    }

    void sendCharacterBlanksTheChain_data()
    {
        QTest::addColumn<QString>("length");
        QTest::addColumn<QByteArray>("fonts");
        QTest::newRow("four digits") << "4" << QByteArray("$B7F0000\r");
        QTest::newRow("no digits") << "0" << QByteArray("$B7F\r");
        QTest::newRow("ten digits") << "10" << QByteArray("$B7F0000000000\r");
    }
    void sendCharacterBlanksTheChain()
    {
        QFETCH(QString, length);
        QFETCH(QByteArray, fonts);
        auto *mlength = m_t->find<QLineEdit>(QStringLiteral("mlength"));
        QVERIFY(mlength);
        mlength->setText(length);
        m_singlechar->setText(QStringLiteral("7F"));
        auto *preview = m_t->find<SegmentPreview>(QStringLiteral("segmentpreview"));
        const QString shown = preview->linePattern();
        preview->setLineColour(5, shown.at(5) == QLatin1Char('1') ? SegmentGeometry::offColour()
                                                                  : SegmentGeometry::onColour());
        m_t->clearSent();

        m_send->click();
        const QList<QByteArray> expected{fonts, QByteArray("$B7M      \r")};
        QCOMPARE(m_t->sent(), expected);
        QCOMPARE(m_t->pauses(), (QList<int>{10, 10}));
        // The common ending redraws the editor.
        QCOMPARE(preview->linePattern(), shown);
    }
};

QTEST_MAIN(TestSingleChar)
#include "tst_singlechar.moc"
