#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTextBrowser;

// The program's own help window: shows a Markdown file, with a notice line above it and, where
// another form of the text can be opened elsewhere, a button that opens it.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // Reads the Markdown file at path; false when it cannot be read.
    bool showFile(const QString &path, const QString &notice);
    // The button's caption and what it does (false: nothing could open it, with why in the
    // notice line); no function hides the button.
    using Opener = std::function<bool(QString &why)>;
    void offerOther(const QString &caption, Opener opener);

private:
    QLabel *m_notice = nullptr;
    QPushButton *m_other = nullptr;
    QTextBrowser *m_browser = nullptr;
    Opener m_opener;
};
