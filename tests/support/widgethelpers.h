#pragma once

#include <QString>

// Every file dialog answers with path; an empty path cancels it.
void answerDialogsWith(const QString &path);
