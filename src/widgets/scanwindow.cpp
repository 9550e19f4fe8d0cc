#include "widgets/scanwindow.h"

#include <QLabel>
#include <QVBoxLayout>

ScanWindow::ScanWindow(QWidget *owner) : QWidget(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("portscanform"));
    setWindowTitle(tr("Port scan"));
    auto *caption = new QLabel(tr("Scanning for serial ports, please wait..."), this);
    caption->setAlignment(Qt::AlignCenter);
    caption->setFrameShape(QFrame::Panel);
    caption->setFrameShadow(QFrame::Raised);
    caption->setMargin(18);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    adjustSize();
    hide();
}

void ScanWindow::showOver(const QRect &ownerFrame)
{
    adjustSize();
    move(ownerFrame.left() + ownerFrame.width() / 2 - width() / 2,
         ownerFrame.top() + ownerFrame.height() / 2 - height() / 2);
    show();
    raise();
}

void ScanWindow::finish()
{
    hide();
    if (QWidget *owner = parentWidget())
        owner->activateWindow();
}
