#pragma once

#include <QStringList>
#include <QWidget>

// A row of small 15-segment digits showing what the chain shows, in the preview's shapes and
// colours, or "No port" when no line is open. Its accessible name is the text shown.
class ChainStrip : public QWidget
{
    Q_OBJECT
public:
    explicit ChainStrip(QWidget *parent = nullptr);

    // One pattern per digit, left to right, and the characters they show.
    void showDigits(const QStringList &patterns, const QString &characters);
    void showNoPort();

    QStringList patterns() const { return m_patterns; }
    // Where digit is drawn.
    QRectF digitRect(int digit) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStringList m_patterns; // none: no port
};
