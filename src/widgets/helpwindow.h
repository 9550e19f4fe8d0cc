#pragma once

#include <QWidget>

class QLabel;
class QTextBrowser;

// The program's own help window: shows a Markdown file, with a notice line above it.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Reads the Markdown file at path; false when it cannot be read.
    bool showFile(const QString &path, const QString &notice);

private:
    QLabel *m_notice = nullptr;
    QTextBrowser *m_browser = nullptr;
};
