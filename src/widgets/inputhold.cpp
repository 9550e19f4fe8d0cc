#include "widgets/inputhold.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace {
// A replayed press moves the focus as a press from the window system would.
void giveClickFocus(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) {
            w->setFocus(Qt::MouseFocusReason);
            return;
        }
        if (w->isWindow())
            return;
    }
}
} // namespace

InputHold::InputHold(QWidget *window) : m_window(window)
{
    qApp->installEventFilter(this);
}

InputHold::~InputHold()
{
    qApp->removeEventFilter(this);
    if (m_held.empty())
        return;
    // Delivered after the event being handled now (often the press that took the focus away)
    // has reached its receiver, so a press and its release arrive in their order.
    auto held = std::make_shared<std::vector<HeldEvent>>(std::move(m_held));
    QMetaObject::invokeMethod(
            qApp,
            [held] {
                for (HeldEvent &h : *held) {
                    if (!h.receiver)
                        continue;
                    auto *widget = qobject_cast<QWidget *>(h.receiver.data());
                    if (widget && h.event->type() == QEvent::MouseButtonPress)
                        giveClickFocus(widget);
                    if (h.receiver)
                        QCoreApplication::sendEvent(h.receiver, h.event.get());
                }
            },
            Qt::QueuedConnection);
}

bool InputHold::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto *widget = qobject_cast<QWidget *>(watched);
        // Other windows (an alert raised meanwhile) take their clicks at once.
        if (!widget || !m_window || widget->window() != m_window)
            return false;
        m_held.push_back(HeldEvent{watched, std::unique_ptr<QEvent>(event->clone())});
        return true;
    }
    default:
        return false;
    }
}
