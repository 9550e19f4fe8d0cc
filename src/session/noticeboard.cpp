#include "session/noticeboard.h"

NoticeBoard::Change NoticeBoard::add(Notice notice, bool mayShow)
{
    notice.id = ++m_lastId;
    // It waits behind those of its priority and above.
    qsizetype at = 0;
    while (at < m_waiting.size() && m_waiting.at(at).priority >= notice.priority)
        ++at;
    m_waiting.insert(at, notice);
    Change change{notice.id, false, 0};
    if (!mayShow || m_waiting.first().id != notice.id)
        return change;
    return promote();
}

NoticeBoard::Change NoticeBoard::promote()
{
    if (m_waiting.isEmpty())
        return Change{};
    const Notice &head = m_waiting.first();
    if (m_shown && head.priority < m_shown->priority)
        return Change{head.id, false, 0};
    const int ended = m_shown ? m_shown->id : 0;
    m_shown = m_waiting.takeFirst();
    return Change{m_shown->id, true, ended};
}

bool NoticeBoard::remove(int id)
{
    if (m_shown && m_shown->id == id) {
        m_shown.reset();
        return true;
    }
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).id == id) {
            m_waiting.removeAt(i);
            return true;
        }
    }
    return false;
}
