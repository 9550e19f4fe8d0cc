#include "widgets/shownlines.h"

#include "core/basicutilities.h"
#include "core/linestore.h"

#include <QDateTime>

namespace {
const QString kNoteOpen = QStringLiteral("  (");
const QString kNoteClose = QStringLiteral(")");
} // namespace

ShownLines::ShownLines(const LineStore &store) : m_store(store) {}

ShownLines::Line ShownLines::line(int index) const
{
    Line shown;
    if (m_stamps)
        shown.text = stampText(m_store.stamp(index));
    shown.text += m_store.text(index);
    shown.noteFrom = static_cast<int>(shown.text.size());
    const QString note = m_store.note(index);
    if (!note.isEmpty())
        shown.text += kNoteOpen + note + kNoteClose;
    return shown;
}

QString ShownLines::joined(bool lastOpen) const
{
    QString text;
    const int count = m_store.size();
    for (int index = 0; index < count; ++index) {
        text += this->text(index);
        if (index + 1 < count || !lastOpen)
            text += CRLF;
    }
    return text;
}

int ShownLines::noteLength(const QString &note)
{
    return note.isEmpty() ? 0 : static_cast<int>(kNoteOpen.size() + note.size() + 1);
}

QString ShownLines::stampText(qint64 ms) const
{
    // Lines come in bursts, so most share the second of the line before.
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != m_stampSecond) {
        m_stampSecond = second;
        m_stampPrefix = QDateTime::fromMSecsSinceEpoch(second * 1000)
                                .toString(QStringLiteral("HH:mm:ss."));
    }
    return m_stampPrefix + QString::number(ms - second * 1000).rightJustified(3, QLatin1Char('0'))
           + QLatin1Char(' ');
}
