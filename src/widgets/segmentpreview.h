#pragma once

#include "font/segmentcolours.h"
#include "font/segmentgeometry.h"

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <array>

// The 15-segment preview of the user-font editor: the colour of each segment line, drawn
// from the cell geometry at any pixel density, and clicks (or Space) on a segment.
class SegmentPreview : public QWidget
{
    Q_OBJECT
public:
    explicit SegmentPreview(QWidget *parent = nullptr);

    QColor lineColour(int k) const;
    void setLineColour(int k, const QColor &colour);
    // Every line back to the off colour.
    void resetLines();
    // Colours the lines from pattern ('1' on), one segment at a time with the window's events
    // running after each, so that the rest of the window stays alive while it paints.
    void showPattern(const QString &pattern);
    // The width the lines are drawn with, in pixels.
    double lineWidth() const;

    // The pattern the lines show: "0" for a line in the off colour, "1" for any other colour.
    QString linePattern() const;

    // Where segment k is on screen: the midpoint of its line, in widget coordinates.
    QPoint segmentPosition(int k) const;
    // The segment that keyboard users toggle with Space.
    int focusedSegment() const { return m_focusedSegment; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void segmentClicked(int k);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Pixels around a line within which a click still hits it.
    static constexpr double kClickTolerance = 4.0;

    QRectF cellTarget() const;
    QLineF mappedLine(int k) const;

    std::array<QColor, SegmentGeometry::kSegments> m_colours;
    int m_pressedSegment = -1;
    int m_focusedSegment = 0;
};
