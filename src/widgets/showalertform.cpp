#include "widgets/showalertform.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

ShowAlertForm::ShowAlertForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("showalertform"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setReadOnly(true);
    m_message->setFont(QFont(QStringLiteral("Arial"), 14));
    m_message->setMinimumSize(420, 150);
    m_message->installEventFilter(this);

    const QFont buttonFont(QStringLiteral("Arial"), 12);
    m_ok = new QPushButton(tr("OK"), this);
    m_ok->setObjectName(QStringLiteral("Command1_0"));
    m_ok->setFont(buttonFont);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Command1_1"));
    m_cancel->setFont(buttonFont);

    // The answer lives in an option control that is never seen.
    m_respond = new QRadioButton(this);
    m_respond->setObjectName(QStringLiteral("respond"));
    m_respond->setChecked(false);
    m_respond->setGeometry(-100, -100, 10, 10);
    m_respond->installEventFilter(this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addLayout(buttons);

    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_message);
    connect(m_ok, &QPushButton::clicked, this, [this] { exitalert(0); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { exitalert(1); });
}

void ShowAlertForm::setMessage(const QString &text, Qt::Alignment alignment, double fontSize)
{
    // Show CR LF as plain line breaks.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_message->setPlainText(shown);
    if (fontSize > 0) {
        QFont font = m_message->font();
        font.setPointSizeF(fontSize);
        m_message->setFont(font);
    } else {
        QFont font = m_message->font();
        font.setPointSizeF(14.25);
        m_message->setFont(font);
    }
    QTextCursor cursor(m_message->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(alignment);
    cursor.mergeBlockFormat(format);
    m_message->moveCursor(QTextCursor::Start);
}

QString ShowAlertForm::messageText() const
{
    return m_message->toPlainText();
}

bool ShowAlertForm::answer() const
{
    return m_respond->isChecked();
}

void ShowAlertForm::exitalert(int index)
{
    if (index == 0)
        m_respond->setChecked(true);
    else if (index == 1)
        m_respond->setChecked(false);
    // Ends the modal display; the answer is read from the hidden option control.
    done(m_respond->isChecked() ? QDialog::Accepted : QDialog::Rejected);
}

bool ShowAlertForm::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_message || watched == m_respond) && event->type() == QEvent::KeyPress) {
        if (static_cast<QKeyEvent *>(event)->text() == QLatin1String("6")) {
            exitalert(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
