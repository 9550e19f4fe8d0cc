#include "widgets/helpwindow.h"

#include <QFile>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("helpwindow"));
    setWindowTitle(tr("Protocol Help"));

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("helpnotice"));
    m_notice->setWordWrap(true);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpbrowser"));
    m_browser->setOpenExternalLinks(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);
    layout->addWidget(m_browser, 1);
    resize(640, 560);
}

bool HelpWindow::showFile(const QString &path, const QString &notice)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // The help file is small; a bound keeps a wrong file from filling the window.
    m_browser->setMarkdown(QString::fromUtf8(file.read(1 << 20)));
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
    show();
    raise();
    activateWindow();
    return true;
}
