#pragma once

#include <QString>

class QWidget;

// Sends widget the focus-out event that leaving it with Tab sends.
void loseFocus(QWidget *widget);

// Every file dialog answers with path; an empty path cancels it.
void answerDialogsWith(const QString &path);
