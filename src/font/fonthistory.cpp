#include "font/fonthistory.h"

void FontHistory::record(const FontTable &before, const FontTable &after, int code, bool typing)
{
    if (before == after)
        return;
    const bool continuesTyping = typing && m_typing && m_typingCode == code && m_redo.isEmpty();
    m_typing = typing;
    m_typingCode = code;
    if (continuesTyping)
        return;
    m_redo.clear();
    m_undo.append({before, code});
    if (m_undo.size() > kMaxSteps)
        m_undo.removeFirst();
}

std::optional<int> FontHistory::undo(FontTable &table)
{
    m_typing = false;
    return move(m_undo, m_redo, table);
}

std::optional<int> FontHistory::redo(FontTable &table)
{
    m_typing = false;
    return move(m_redo, m_undo, table);
}

std::optional<int> FontHistory::move(QList<Step> &from, QList<Step> &to, FontTable &table)
{
    if (from.isEmpty())
        return std::nullopt;
    const Step step = from.takeLast();
    to.append({table, step.code});
    table = step.table;
    return step.code;
}
