#pragma once

#include <QString>

class LineStore;

// A log's lines as its pane shows them: the time stamp while stamps are on, the text, and the
// note (why a command did not go out) in brackets after it.
class ShownLines
{
public:
    // "HH:mm:ss.zzz " before a line while stamps are on.
    static constexpr int kStampLength = 13;

    struct Line
    {
        QString text;
        int noteFrom = 0; // where the note begins; the text's length when there is none
    };

    explicit ShownLines(const LineStore &store);

    const LineStore &store() const { return m_store; }
    void setStamps(bool on) { m_stamps = on; }
    Line line(int index) const;
    QString text(int index) const { return line(index).text; }
    // Every line, each ended by CR LF but an open last one.
    QString joined(bool lastOpen) const;
    // The characters a note adds to its line.
    static int noteLength(const QString &note);

private:
    QString stampText(qint64 ms) const;

    const LineStore &m_store;
    bool m_stamps = false;
    mutable qint64 m_stampSecond = -1;
    mutable QString m_stampPrefix;
};
