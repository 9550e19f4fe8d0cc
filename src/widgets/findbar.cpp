#include "widgets/findbar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("findbar"));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("findtext"));
    m_field->setPlaceholderText(tr("Find"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("findstate"));
    const auto button = [this](const QString &name, const QString &text, const QString &tip) {
        auto *made = new QToolButton(this);
        made->setObjectName(name);
        made->setText(text);
        made->setToolTip(tip);
        made->setAutoRaise(true);
        return made;
    };
    QToolButton *previous = button(QStringLiteral("findprevious"), QStringLiteral("\u2191"),
                                   tr("Previous match (Shift+Enter, Shift+F3)"));
    QToolButton *next = button(QStringLiteral("findnext"), QStringLiteral("\u2193"),
                               tr("Next match (Enter, F3)"));
    QToolButton *close = button(QStringLiteral("findclose"), QStringLiteral("\u00d7"),
                                tr("Close the find bar (Escape)"));
    connect(previous, &QToolButton::clicked, this, [this] { Q_EMIT findRequested(true); });
    connect(next, &QToolButton::clicked, this, [this] { Q_EMIT findRequested(false); });
    connect(close, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(m_field, &QLineEdit::textChanged, this, [this] {
        m_state->clear();
        Q_EMIT textChanged();
    });

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_field, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_state);
    layout->addWidget(close);
    setAutoFillBackground(true);
    hide();
}

QString FindBar::text() const
{
    return m_field->text();
}

void FindBar::open(const QString &text)
{
    if (!text.isEmpty())
        m_field->setText(text);
    show();
    m_field->selectAll();
    m_field->setFocus(Qt::ShortcutFocusReason);
}

void FindBar::showStanding(int number, int count)
{
    m_state->setText(count > 0 ? tr("%1 of %2").arg(number).arg(count) : tr("No match"));
}

void FindBar::dismiss()
{
    hide();
    Q_EMIT closed();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    // Escape in the field is the field's, also where the window has a shortcut for it.
    if (watched == m_field && event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
            || key->key() == Qt::Key_F3) {
            Q_EMIT findRequested(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            dismiss();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
