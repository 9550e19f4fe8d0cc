#pragma once

#include <QAccessibleWidget>

// What screen readers learn of a log pane, which paints its own lines: a read-only text whose
// value is the whole log.
class LogPaneAccessible : public QAccessibleWidget
{
public:
    explicit LogPaneAccessible(QWidget *pane);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;

    // The factory QAccessible asks for every object; it answers for log panes only.
    static QAccessibleInterface *create(const QString &className, QObject *object);
};
