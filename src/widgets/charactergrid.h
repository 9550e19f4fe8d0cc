#pragma once

#include "protocol/chainprotocol.h"

#include <QWidget>

#include <functional>

// The whole user font at a glance: one digit per code 10 to 125, its code and character under it;
// a click on a digit reports its code.
class CharacterGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFirstCode = Protocol::kFirstUserCode;
    static constexpr int kLastCode = Protocol::kLastUserCode;
    static constexpr int kColumns = 12;

    // patternOf answers the pattern shown for a code; it is asked at every paint.
    explicit CharacterGrid(std::function<QString(int code)> patternOf, QWidget *parent = nullptr);

    // Where code's cell lies in the widget.
    QRect cellRect(int code) const;
    QSize sizeHint() const override;

Q_SIGNALS:
    void codeClicked(int code);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    std::function<QString(int)> m_patternOf;
};
