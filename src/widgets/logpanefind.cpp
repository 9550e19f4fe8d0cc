#include "widgets/logpanefind.h"

#include "core/linestore.h"
#include "widgets/findbar.h"
#include "widgets/logpane.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

LogPaneFind::LogPaneFind(LogPane *pane) : QObject(pane), m_pane(pane)
{
    m_bar = new FindBar(pane);
    // The find row keeps the window's font, not the log's fixed one.
    m_bar->setFont(QApplication::font());
    connect(m_bar, &FindBar::findRequested, this, &LogPaneFind::search);
    connect(m_bar, &FindBar::textChanged, pane, &LogPane::repaintAll);
    connect(m_bar, &FindBar::closed, this, [this] {
        m_pane->setViewportMargins(0, 0, 0, 0);
        m_pane->placeChildren();
        m_pane->setFocus(Qt::OtherFocusReason);
        m_pane->repaintAll();
    });
}

bool LogPaneFind::isOpen() const
{
    return !m_bar->isHidden();
}

QString LogPaneFind::markedText() const
{
    return isOpen() ? m_bar->text() : QString();
}

void LogPaneFind::open()
{
    LogSelection::Position start, end;
    const bool oneLine = m_pane->m_selection.ordered(start, end) && start.line == end.line;
    m_pane->setViewportMargins(0, 0, 0, m_bar->sizeHint().height());
    m_bar->open(oneLine ? m_pane->selectedText() : QString());
    m_pane->placeChildren();
    m_pane->repaintAll();
}

void LogPaneFind::place(const QRect &view)
{
    if (isOpen())
        m_bar->setGeometry(view.left(), view.bottom() + 1, view.width(),
                           m_bar->sizeHint().height());
}

bool LogPaneFind::handleKey(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_F3) {
        if (!m_bar->text().isEmpty())
            search(event.modifiers().testFlag(Qt::ShiftModifier));
        return true;
    }
    if (event.key() != Qt::Key_Escape || !isOpen())
        return false;
    m_bar->dismiss();
    return true;
}

void LogPaneFind::search(bool backward)
{
    LogSelection &selection = m_pane->m_selection;
    const QString text = m_bar->text();
    const int index = selection.find(text, backward, m_pane->verticalScrollBar()->value());
    LogSelection::Position start, end;
    if (index < 0 || !selection.ordered(start, end)) {
        m_bar->showStanding(0, 0);
        return;
    }
    const std::pair<int, int> at = standing(text, start);
    m_bar->showStanding(at.first, at.second);
    m_pane->selectionChanged();
    m_pane->scrollToLine(index);
}

std::pair<int, int> LogPaneFind::standing(const QString &text,
                                          const LogSelection::Position &start) const
{
    const ShownLines &lines = m_pane->m_lines;
    const qint64 first = lines.store().firstNumber();
    int count = 0;
    int number = 0;
    for (int index = 0; index < lines.store().size(); ++index) {
        const QString line = lines.text(index);
        for (qsizetype at = line.indexOf(text, 0, Qt::CaseInsensitive); at >= 0;
             at = line.indexOf(text, at + text.size(), Qt::CaseInsensitive)) {
            ++count;
            if (first + index == start.line && at == start.column)
                number = count;
        }
    }
    return {number, count};
}
