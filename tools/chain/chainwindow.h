#pragma once

#include <QWidget>

class ChainSession;

// The chain's window: its digits drawn like the utility's segment preview, each digit's
// effect and speed beneath it, and the last decoded frame at the bottom.
class ChainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ChainWindow(const ChainSession &session, QWidget *parent = nullptr);

    QSize sizeHint() const override;

    // Where digit is drawn, in the window's coordinates.
    QRectF digitRect(int digit) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const ChainSession &m_session;
};
