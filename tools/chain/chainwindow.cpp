#include "chain/chainwindow.h"

#include "chain/chainsession.h"
#include "font/segmentpainter.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kMargin = 12;
constexpr int kDigitWidth = 84;
constexpr int kDigitHeight = 120;
constexpr int kGap = 10;
} // namespace

ChainWindow::ChainWindow(const ChainSession &session, QWidget *parent)
    : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("chainwindow"));
    setWindowTitle(QStringLiteral("Vornik virtual chain — %1").arg(session.devicePath()));
    connect(&session, &ChainSession::stateChanged, this, qOverload<>(&QWidget::update));
    setMinimumSize(sizeHint());
}

QSize ChainWindow::sizeHint() const
{
    const int digits = m_session.state().digits();
    const int line = fontMetrics().height();
    return QSize(2 * kMargin + digits * kDigitWidth + (digits - 1) * kGap,
                 2 * kMargin + kDigitHeight + 3 * line);
}

QRectF ChainWindow::digitRect(int digit) const
{
    const int digits = m_session.state().digits();
    const int rowWidth = digits * kDigitWidth + (digits - 1) * kGap;
    const int left = (width() - rowWidth) / 2;
    return QRectF(left + digit * (kDigitWidth + kGap), kMargin, kDigitWidth, kDigitHeight);
}

void ChainWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const ChainState &state = m_session.state();
    const int line = fontMetrics().height();
    for (int digit = 0; digit < state.digits(); ++digit) {
        const QRectF cell = digitRect(digit);
        paintSegments(painter, cell, state.digitPattern(digit));
        // Effects and speeds belong to the modules' animation, which the chain only reports.
        const QRectF caption(cell.left(), cell.bottom() + 4, cell.width(), line);
        painter.setPen(palette().windowText().color());
        painter.drawText(caption, Qt::AlignCenter,
                         QStringLiteral("E%1 S%2")
                                 .arg(QLatin1Char(state.effects().at(digit)))
                                 .arg(QLatin1Char(state.speeds().at(digit))));
    }
    const QRect status(kMargin, height() - kMargin - line, width() - 2 * kMargin, line);
    painter.drawText(
            status, Qt::AlignLeft | Qt::AlignVCenter,
            fontMetrics().elidedText(m_session.lastReport(), Qt::ElideRight, status.width()));
}
