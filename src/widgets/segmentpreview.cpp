#include "widgets/segmentpreview.h"

#include "core/basicutilities.h"
#include "font/segmentpainter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace {
// The cell is 1680 x 2400 twips: 112 x 160 pixels at 15 twips a pixel.
constexpr int kPreviewWidth = 112;
constexpr int kPreviewHeight = 160;
} // namespace

SegmentPreview::SegmentPreview(QWidget *parent) : QWidget(parent)
{
    setFixedSize(kPreviewWidth, kPreviewHeight);
    // Reached by Tab only: a click must not pull the focus from a field and run its leaving action.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(tr("Segment preview"));
    setAccessibleDescription(tr("Arrow keys choose a segment, Space turns it on or off"));
    m_colours.fill(SegmentGeometry::offColour());
}

QSize SegmentPreview::sizeHint() const
{
    return QSize(kPreviewWidth, kPreviewHeight);
}

QColor SegmentPreview::lineColour(int k) const
{
    if (k < 0 || k >= SegmentGeometry::kSegments)
        return QColor();
    return m_colours[static_cast<size_t>(k)];
}

void SegmentPreview::setLineColour(int k, const QColor &colour)
{
    if (k < 0 || k >= SegmentGeometry::kSegments || m_colours[static_cast<size_t>(k)] == colour)
        return;
    m_colours[static_cast<size_t>(k)] = colour;
    update();
}

void SegmentPreview::resetLines()
{
    m_colours.fill(SegmentGeometry::offColour());
    update();
}

void SegmentPreview::showPattern(const QString &pattern)
{
    const QPointer<SegmentPreview> self(this);
    for (int k = 0; k < SegmentGeometry::kSegments; ++k) {
        if (!self || shutdownRequested())
            return;
        const bool on = k < pattern.size() && pattern.at(k) == QLatin1Char('1');
        setLineColour(k, on ? SegmentGeometry::onColour() : SegmentGeometry::offColour());
        QCoreApplication::processEvents();
    }
}

QString SegmentPreview::linePattern() const
{
    QString pattern;
    for (const QColor &colour : m_colours)
        pattern += colour == SegmentGeometry::offColour() ? QLatin1Char('0') : QLatin1Char('1');
    return pattern;
}

double SegmentPreview::lineWidth() const
{
    const QRectF cell = segmentCellRect(cellTarget());
    return SegmentGeometry::kLineWidth * cell.width() / SegmentGeometry::kCell.width();
}

QRectF SegmentPreview::cellTarget() const
{
    return QRectF(rect());
}

QLineF SegmentPreview::mappedLine(int k) const
{
    return segmentLine(cellTarget(), k);
}

QPoint SegmentPreview::segmentPosition(int k) const
{
    if (k < 0 || k >= SegmentGeometry::kSegments)
        return QPoint();
    return mappedLine(k).center().toPoint();
}

void SegmentPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintSegments(painter, cellTarget(), linePattern());
    if (hasFocus()) {
        // A dotted frame round the segment that Space toggles.
        const QLineF line = mappedLine(m_focusedSegment);
        const double margin = lineWidth() / 2 + 2;
        QPen pen(palette().color(QPalette::Highlight), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(line.p1(), line.p2())
                                 .normalized()
                                 .adjusted(-margin, -margin, margin, margin));
    }
}

void SegmentPreview::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressedSegment = segmentAt(cellTarget(), event->position(), kClickTolerance);
    event->accept();
}

void SegmentPreview::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    // A click is a press and a release on the same segment.
    const int pressed = m_pressedSegment;
    m_pressedSegment = -1;
    event->accept();
    if (pressed >= 0 && segmentAt(cellTarget(), event->position(), kClickTolerance) == pressed) {
        m_focusedSegment = pressed;
        Q_EMIT segmentClicked(pressed);
    }
}

void SegmentPreview::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        m_focusedSegment
                = (m_focusedSegment + SegmentGeometry::kSegments - 1) % SegmentGeometry::kSegments;
        update();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        m_focusedSegment = (m_focusedSegment + 1) % SegmentGeometry::kSegments;
        update();
        break;
    case Qt::Key_Space:
        Q_EMIT segmentClicked(m_focusedSegment);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
