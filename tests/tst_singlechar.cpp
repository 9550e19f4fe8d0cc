#include "support/testhelpers.h"
#include "support/testsupport.h"

#include "font/segmentgeometry.h"
#include "widgets/segmentpreview.h"
#include "widgets/filteredlineedit.h"

#include <QPushButton>
#include <QTest>

// The two-digit character field and "Send character" on the COMM tab.
class TestSingleChar : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWindow> m_t;
    FilteredLineEdit *m_singlechar = nullptr;

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestWindow>();
        m_singlechar = m_t->find<FilteredLineEdit>(QStringLiteral("singlechar"));
        QVERIFY(m_singlechar);
        QCOMPARE(m_singlechar->text(), QStringLiteral("00"));
        m_t->openPort();
        m_t->clearSent();
    }
    void cleanup() { m_t.reset(); }

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
        if (byEnter)
            QTest::keyClick(m_singlechar, Qt::Key_Return);
        else
            loseFocus(m_singlechar);
        QCOMPARE(m_singlechar->text(), result);
        QVERIFY(m_t->sent().isEmpty());
    }

    void sendCharacterBlanksTheChain_data()
    {
        QTest::addColumn<QString>("length");
        QTest::addColumn<QByteArray>("fonts");
        QTest::newRow("four digits") << "4" << QByteArray("$B7F0000\r");
        QTest::newRow("no digits") << "0" << QByteArray("$B7F\r");
    }
    void sendCharacterBlanksTheChain()
    {
        QFETCH(QString, length);
        QFETCH(QByteArray, fonts);
        m_t->find<QLineEdit>(QStringLiteral("mlength"))->setText(length);
        m_singlechar->setText(QStringLiteral("7F"));
        auto *preview = m_t->find<SegmentPreview>(QStringLiteral("segmentpreview"));
        const QString shown = preview->linePattern();
        preview->setLineColour(5, shown.at(5) == QLatin1Char('1') ? SegmentGeometry::offColour()
                                                                  : SegmentGeometry::onColour());
        m_t->find<QPushButton>(QStringLiteral("Command2_12"))->click();
        QCOMPARE(m_t->sent(), (QByteArrayList{fonts, "$B7M      \r"}));
        QCOMPARE(m_t->pauses(), (QList<int>{10, 10}));
        // The common ending redraws the editor.
        QCOMPARE(preview->linePattern(), shown);
    }
};

QTEST_MAIN(TestSingleChar)
#include "tst_singlechar.moc"
