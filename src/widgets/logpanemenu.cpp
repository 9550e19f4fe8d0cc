#include "widgets/logpanemenu.h"

#include "widgets/logpane.h"

#include <QAction>

LogPaneMenu::LogPaneMenu(LogPane *pane) : m_pane(pane)
{
    // The keys work where the pane has the focus. The entries keep the pane's translation context.
    pane->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto action
            = [pane](const QString &text, const QKeySequence &keys, void (LogPane::*slot)()) {
                  auto *made = new QAction(text, pane);
                  made->setShortcut(keys);
                  made->setShortcutContext(Qt::WidgetWithChildrenShortcut);
                  QObject::connect(made, &QAction::triggered, pane, slot);
                  return made;
              };
    m_copy = action(LogPane::tr("Copy"), QKeySequence::Copy, &LogPane::copy);
    m_copy->setEnabled(false);
    QAction *selectAllAction
            = action(LogPane::tr("Select All"), QKeySequence::SelectAll, &LogPane::selectAll);
    QAction *findAction = action(LogPane::tr("Find\u2026"), QKeySequence::Find, &LogPane::showFind);
    QAction *clearAction
            = action(LogPane::tr("Clear"), QKeySequence(Qt::CTRL | Qt::Key_L), &LogPane::clearLog);
    QAction *saveAction = action(QStringLiteral("Save Log As\u2026"), {}, &LogPane::saveLogAs);
    m_logToFile = action(LogPane::tr("Log to File\u2026"), {}, &LogPane::toggleLogToFile);
    m_logToFile->setCheckable(true);
    m_timeStamps = new QAction(LogPane::tr("Time Stamps"), pane);
    m_timeStamps->setCheckable(true);
    const auto separator = [pane] {
        auto *made = new QAction(pane);
        made->setSeparator(true);
        return made;
    };
    pane->addActions({m_copy, selectAllAction, findAction, clearAction, separator(), saveAction,
                      m_logToFile, separator(), m_timeStamps});
}

void LogPaneMenu::showLogFile(const QString &fileName)
{
    m_logToFile->setChecked(true);
    m_logToFile->setText(LogPane::tr("Log to File: %1").arg(fileName));
}

void LogPaneMenu::showNoLogFile()
{
    m_logToFile->setChecked(false);
    m_logToFile->setText(LogPane::tr("Log to File\u2026"));
}

bool LogPaneMenu::trigger(const QKeySequence &keys) const
{
    for (QAction *action : m_pane->actions()) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == keys) {
            action->trigger();
            return true;
        }
    }
    return false;
}
