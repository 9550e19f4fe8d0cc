#include "chain/chainsession.h"
#include "chain/chainwindow.h"
#include "font/segmentcolours.h"
#include "font/segmentgeometry.h"
#include "font/segmentpainter.h"

#include <QImage>
#include <QTest>

namespace {

QByteArray command(char letter, const QByteArray &argument)
{
    return QByteArrayLiteral("$B7") + letter + argument + '\r';
}

// The colour the window shows at the middle of segment k of digit.
QColor segmentColour(const ChainWindow &window, const QImage &image, int digit, int k)
{
    const QRectF cell = segmentCellRect(window.digitRect(digit));
    const double scale = cell.width() / SegmentGeometry::kCell.width();
    const QPointF middle
            = cell.topLeft() + SegmentGeometry::segments()[static_cast<size_t>(k)].center() * scale;
    return image.pixelColor(middle.toPoint());
}

} // namespace

// The chain's window: each digit drawn with the utility's segment geometry and colours.
class TestChainWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void drawsWhatTheChainShows_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("digit");
        QTest::addColumn<QString>("expected");

        QTest::newRow("blank") << QByteArray() << 0 << QStringLiteral("000000000000000");
        QTest::newRow("built-in L on digit 2")
                << command('M', "!L") << 1 << QStringLiteral("000111000000000");
        QTest::newRow("user-font pattern")
                << command('W', "A100000010000000") + command('F', "!!U") + command('M', "!!A") << 2
                << QStringLiteral("100000010000000");
        QTest::newRow("underscore on the last digit")
                << command('U', "!!!!!1") << 5 << QStringLiteral("000000000000001");
    }

    void drawsWhatTheChainShows()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, digit);
        QFETCH(QString, expected);
        ChainSession session(6);
        session.receive(input);
        ChainWindow window(session);
        window.resize(window.sizeHint());
        const QImage image = window.grab().toImage();
        for (int k = 0; k < SegmentGeometry::kSegments; ++k) {
            const QColor wanted = expected.at(k) == QLatin1Char('1') ? SegmentGeometry::onColour()
                                                                     : SegmentGeometry::offColour();
            QCOMPARE(segmentColour(window, image, digit, k), wanted);
        }
    }
};

QTEST_MAIN(TestChainWindow)
#include "tst_chainwindow.moc"
