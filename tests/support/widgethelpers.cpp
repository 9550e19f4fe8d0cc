#include "support/widgethelpers.h"

#include "widgets/filedialogs.h"

void answerDialogsWith(const QString &path)
{
    setFileDialogResponder([path](const FileDialogRequest &) {
        return path.isEmpty() ? QStringList() : QStringList{path};
    });
}
