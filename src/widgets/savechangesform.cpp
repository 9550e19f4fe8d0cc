#include "widgets/savechangesform.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
SaveChangesForm::Responder g_responder;
QPointer<SaveChangesForm> g_open;
} // namespace

SaveChangesForm::SaveChangesForm(const QString &message, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("savechangesform"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *text = new QPlainTextEdit(message, this);
    text->setReadOnly(true);
    text->setFont(QFont(QStringLiteral("Arial"), 14));
    text->setMinimumSize(420, 110);

    const QFont buttonFont(QStringLiteral("Arial"), 12);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    const auto addButton = [&](const QString &caption, Choice choice) {
        auto *button = new QPushButton(caption, this);
        button->setFont(buttonFont);
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, choice] {
            m_choice = choice;
            done(choice == Choice::Cancel ? QDialog::Rejected : QDialog::Accepted);
        });
        return button;
    };
    addButton(tr("Save"), Choice::Save)->setDefault(true);
    addButton(tr("Discard"), Choice::Discard);
    addButton(tr("Cancel"), Choice::Cancel);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

SaveChangesForm::Choice SaveChangesForm::ask(const QString &title, const QString &message,
                                             QWidget *parent)
{
    if (g_responder)
        return g_responder(message);
    QPointer<SaveChangesForm> form = new SaveChangesForm(message, parent);
    form->setWindowTitle(title);
    g_open = form;
    QApplication::beep();
    form->exec();
    if (!form)
        return Choice::Cancel;
    const Choice choice = form->choice();
    delete form;
    return choice;
}

void SaveChangesForm::cancelOpenQuestion()
{
    if (g_open)
        g_open->reject();
}

void SaveChangesForm::setResponder(Responder responder)
{
    g_responder = std::move(responder);
}
