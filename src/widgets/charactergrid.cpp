#include "widgets/charactergrid.h"

#include "font/segmentpainter.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kCodes = CharacterGrid::kLastCode - CharacterGrid::kFirstCode + 1;
constexpr int kRows = (kCodes + CharacterGrid::kColumns - 1) / CharacterGrid::kColumns;
} // namespace

CharacterGrid::CharacterGrid(std::function<QString(int)> patternOf, QWidget *parent)
    : QWidget(parent), m_patternOf(std::move(patternOf))
{
    setObjectName(QStringLiteral("characters"));
    setToolTip(tr("Click a character to edit it"));
}

QSize CharacterGrid::sizeHint() const
{
    // Takes the room the other tabs leave, so the window keeps its size.
    return QSize(0, 0);
}

QRect CharacterGrid::cellRect(int code) const
{
    const int index = code - kFirstCode;
    const int width = this->width() / kColumns;
    const int height = this->height() / kRows;
    return QRect((index % kColumns) * width, (index / kColumns) * height, width, height);
}

void CharacterGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int textHeight = fontMetrics().height();
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const QRect cell = cellRect(code).adjusted(2, 2, -2, -2);
        if (!event->rect().intersects(cell))
            continue;
        paintSegments(painter, QRectF(cell.adjusted(0, 0, 0, -textHeight)), m_patternOf(code));
        // Control codes have no character to show.
        const QString label = code < 32 ? QString::number(code)
                                        : QString::number(code) + QLatin1Char(' ') + QChar(code);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(cell.left(), cell.bottom() - textHeight, cell.width(), textHeight),
                         Qt::AlignCenter, label);
    }
}

void CharacterGrid::mousePressEvent(QMouseEvent *event)
{
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        if (cellRect(code).contains(event->position().toPoint())) {
            Q_EMIT codeClicked(code);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}
