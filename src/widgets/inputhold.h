#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QEvent;
class QWidget;

// Holds back the mouse clicks meant for one window while it lives and delivers them, in order,
// once it ends: a field's leaving action that sends and waits does not swallow the click that
// moved the focus away from it, and the clicked control acts after that action.
class InputHold : public QObject
{
    Q_OBJECT
public:
    explicit InputHold(QWidget *window);
    ~InputHold() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct HeldEvent
    {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };

    QPointer<QWidget> m_window;
    std::vector<HeldEvent> m_held;
};
