#include "widgets/chainstrip.h"

#include "font/segmentpainter.h"
#include "protocol/chainprotocol.h"

#include <QPainter>

namespace {
constexpr int kDigitWidth = 26;
constexpr int kDigitHeight = 36;
constexpr int kGap = 6;
constexpr int kMargin = 2;
} // namespace

ChainStrip::ChainStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chainstrip"));
    setToolTip(tr("What the chain shows, from every command sent to it"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    showNoPort();
}

void ChainStrip::showDigits(const QStringList &patterns, const QString &characters)
{
    m_patterns = patterns;
    setAccessibleName(characters);
    update();
}

void ChainStrip::showNoPort()
{
    m_patterns.clear();
    setAccessibleName(tr("No port"));
    update();
}

QSize ChainStrip::sizeHint() const
{
    const int digits = Protocol::kMaxDigits;
    return QSize(2 * kMargin + digits * kDigitWidth + (digits - 1) * kGap,
                 2 * kMargin + kDigitHeight);
}

QRectF ChainStrip::digitRect(int digit) const
{
    return QRectF(kMargin + digit * (kDigitWidth + kGap), kMargin, kDigitWidth, kDigitHeight);
}

void ChainStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_patterns.isEmpty()) {
        painter.drawText(rect().adjusted(kMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         accessibleName());
        return;
    }
    // Effects are the modules' own animation: each digit is drawn as it rests.
    for (int digit = 0; digit < m_patterns.size(); ++digit)
        paintSegments(painter, digitRect(digit), m_patterns.at(digit));
}
