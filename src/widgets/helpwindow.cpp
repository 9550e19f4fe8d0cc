#include "widgets/helpwindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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
    m_notice->hide();
    m_other = new QPushButton(this);
    m_other->setObjectName(QStringLiteral("helpother"));
    m_other->hide();
    connect(m_other, &QPushButton::clicked, this, [this] {
        QString why;
        const bool opened = m_opener && m_opener(why);
        m_notice->setText(opened ? QString() : why);
        m_notice->setVisible(!opened && !why.isEmpty());
    });
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpbrowser"));
    m_browser->setOpenExternalLinks(true);

    auto *top = new QHBoxLayout;
    top->addWidget(m_notice, 1);
    top->addWidget(m_other, 0, Qt::AlignRight | Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
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

void HelpWindow::offerOther(const QString &caption, Opener opener)
{
    m_opener = std::move(opener);
    m_other->setText(caption);
    m_other->setVisible(static_cast<bool>(m_opener));
}
