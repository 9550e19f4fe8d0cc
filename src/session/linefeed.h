#pragma once

#include "session/textglyphs.h"
#include "session/textlayer.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

class InputLines;
class PacedSender;

// A ticker on the chain: each line of an input (standard input, a pipe), any text the text
// font draws, shown in turn from the event loop, by a program's rules (filled with
// spaces or its last character, a long one cut with a note, an empty one blanks the chain). While a
// line is shown the next ones wait in the input; with newestOnly they are read meanwhile and each
// replaces the one waiting, so a chain slower than its input shows the newest line instead of a
// growing backlog.
class LineFeed : public QObject
{
    Q_OBJECT
public:
    LineFeed(int fd, PacedSender &sender, int length, bool newestOnly, bool padLast = false,
             QObject *parent = nullptr);

    // Each line's checked text goes to show instead of the sender (a program that sends
    // through a service, which fits it to its chain); it answers false when it failed, which
    // ends the feed like a failed line.
    void setShow(std::function<bool(const QString &text)> show) { m_show = std::move(show); }

    // How lower case is taken (as typed by default).
    void setCase(TextGlyphs::Case textCase) { m_case = textCase; }

    // Lines read and not shown (yet), and lines a newer one replaced.
    int unsent() const { return static_cast<int>(m_waiting.size()); }
    int dropped() const { return m_dropped; }
    // What a person should know when the feed ends early: lines dropped, lines not sent.
    QStringList leftOver() const;

Q_SIGNALS:
    // A line the chain cannot show was skipped; reason names it by its number ("line 3: ...").
    void skipped(const QString &reason);
    // A line longer than the chain was cut to it; note names it by its number.
    void cut(const QString &note);
    // The input ended and every line of it went out, or the line failed on the way.
    void finished();

private:
    void offer(const QByteArray &line);
    void showWaiting();

    PacedSender &m_sender;
    std::function<bool(const QString &text)> m_show;
    InputLines *m_input;
    int m_length;
    bool m_newestOnly;
    bool m_padLast;
    TextGlyphs::Case m_case = TextGlyphs::Case::AsTyped;
    TextLayer m_glyphs;                   // the glyphs written since the line opened
    QList<QPair<int, QString>> m_waiting; // each line's number and checked text
    int m_lineNumber = 0;
    int m_dropped = 0;
    bool m_showing = false;
    bool m_ended = false;
};
