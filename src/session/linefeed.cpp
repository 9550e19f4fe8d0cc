#include "session/linefeed.h"

#include "core/basicutilities.h"
#include "core/inputlines.h"
#include "core/linereader.h"
#include "session/chaininput.h"
#include "session/pacedsender.h"
#include "session/programrules.h"

#include <QTimer>

LineFeed::LineFeed(int fd, PacedSender &sender, int length, bool newestOnly, bool padLast,
                   QObject *parent)
    : QObject(parent), m_sender(sender), m_input(new InputLines(fd, this)), m_length(length),
      m_newestOnly(newestOnly), m_padLast(padLast), m_glyphs(length)
{
    connect(m_input, &InputLines::lineRead, this, &LineFeed::offer);
    connect(m_input, &InputLines::lineTooLong, this, [this] {
        Q_EMIT skipped(QStringLiteral("line %1: longer than %2 bytes")
                               .arg(++m_lineNumber)
                               .arg(kMaxLineBytes));
    });
    connect(m_input, &InputLines::ended, this, [this] {
        m_ended = true;
        if (!m_showing && m_waiting.isEmpty())
            Q_EMIT finished();
    });
}

void LineFeed::offer(const QByteArray &line)
{
    const QString what = QStringLiteral("line %1").arg(++m_lineNumber);
    QString shown;
    try {
        shown = TextGlyphs::characters(what, QString::fromUtf8(line), m_case).join(QString());
    } catch (const ChainInput::Refusal &refusal) {
        Q_EMIT skipped(refusal.text);
        return;
    }
    if (m_newestOnly && !m_waiting.isEmpty()) {
        m_waiting.last() = {m_lineNumber, shown};
        ++m_dropped;
    } else {
        m_waiting.append({m_lineNumber, shown});
    }
    // Without newestOnly the input rests until every line read is shown: the pipe holds the
    // rest, and a fast writer waits for the chain.
    m_input->setPaused(!m_newestOnly);
    if (!m_showing)
        QTimer::singleShot(0, this, &LineFeed::showWaiting);
}

void LineFeed::showWaiting()
{
    if (m_showing)
        return;
    m_showing = true;
    // Lines read during a send (newestOnly) join the queue and go out in this same round.
    while (!m_waiting.isEmpty() && !shutdownRequested()) {
        const auto [number, text] = m_waiting.takeFirst();
        if (m_show) {
            if (!m_show(text))
                break;
            continue;
        }
        ProgramRules::Shown shown;
        try {
            shown = ProgramRules::message(text, m_length, m_padLast, &m_glyphs);
        } catch (const ChainInput::Refusal &refusal) {
            Q_EMIT skipped(QStringLiteral("line %1: %2").arg(number).arg(refusal.text));
            continue;
        }
        if (shown.cut)
            Q_EMIT cut(QStringLiteral("line %1: cut to %2 digits").arg(number).arg(m_length));
        const bool failed = m_sender.send(shown.commands, this) == PacedSender::Outcome::LineFailed;
        if (failed)
            break;
    }
    m_showing = false;
    m_input->setPaused(false);
    if (m_ended && m_waiting.isEmpty())
        Q_EMIT finished();
}

QStringList LineFeed::leftOver() const
{
    QStringList notes;
    if (m_dropped > 0)
        notes += QStringLiteral("lines dropped for newer ones: %1").arg(m_dropped);
    if (unsent() > 0)
        notes += QStringLiteral("lines not sent: %1").arg(unsent());
    return notes;
}
