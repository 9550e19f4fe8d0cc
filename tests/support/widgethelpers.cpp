#include "support/widgethelpers.h"

#include "widgets/filedialogs.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

void loseFocus(QWidget *widget)
{
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &focusOut);
}

void answerDialogsWith(const QString &path)
{
    setFileDialogResponder([path](const FileDialogRequest &) {
        return path.isEmpty() ? QStringList() : QStringList{path};
    });
}
