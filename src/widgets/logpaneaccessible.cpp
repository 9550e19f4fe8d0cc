#include "widgets/logpaneaccessible.h"

#include "widgets/logpane.h"

LogPaneAccessible::LogPaneAccessible(QWidget *pane)
    : QAccessibleWidget(pane, QAccessible::EditableText)
{}

QString LogPaneAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Value)
        return static_cast<LogPane *>(widget())->logText();
    return QAccessibleWidget::text(kind);
}

QAccessible::State LogPaneAccessible::state() const
{
    QAccessible::State current = QAccessibleWidget::state();
    current.readOnly = true;
    current.multiLine = true;
    return current;
}

QAccessibleInterface *LogPaneAccessible::create(const QString &className, QObject *object)
{
    if (className == QLatin1String("LogPane") && object && object->isWidgetType())
        return new LogPaneAccessible(static_cast<QWidget *>(object));
    return nullptr;
}
