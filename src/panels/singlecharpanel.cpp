#include "panels/singlecharpanel.h"

#include "panels/workbench.h"
#include "protocol/coderules.h"
#include "protocol/messagecommands.h"
#include "widgets/filteredlineedit.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>

SingleCharPanel::SingleCharPanel(Workbench &workbench, QWidget *parent)
    : QGroupBox(parent), m_workbench(workbench)
{
    setTitle(QString());

    m_singlechar = new FilteredLineEdit(QStringLiteral("singlechar"), this);
    m_singlechar->setText(QStringLiteral("00"));
    m_singlechar->setTypingLimit(2);
    m_singlechar->setKeyFilter(&CodeRules::singlecharKey);
    m_singlechar->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_singlechar->setMaximumWidth(40);
    connect(m_singlechar, &FilteredLineEdit::enterPressed, this, &SingleCharPanel::fillSinglechar);
    connect(m_singlechar, &FilteredLineEdit::focusLost, this, &SingleCharPanel::fillSinglechar);

    auto *send = new QPushButton(tr("Send character"), this);
    send->setObjectName(QStringLiteral("Command2_12"));
    send->setToolTip(tr("Send all settings below to display string.  To write any single setting "
                        "block, hit enter on that block"));
    send->setAutoDefault(false);
    connect(send, &QPushButton::clicked, this, &SingleCharPanel::sendCharacter);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_singlechar);
    layout->addWidget(send);
    layout->addStretch();
}

void SingleCharPanel::fillSinglechar()
{
    const QString filled = CodeRules::filledHexPair(m_singlechar->text());
    if (filled != m_singlechar->text())
        m_singlechar->setText(filled);
}

void SingleCharPanel::sendCharacter()
{
    m_workbench.sendAll(this, MessageCommands::blank(m_workbench.chainLength()), {},
                        [this](bool) { m_workbench.showsegments(); });
}
