#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <deque>
#include <memory>

// The lines of a log, held compactly however many there are: the text of each as UTF-8 in large
// chunks, its stamp and a note (what is to be said about the line beside its text), the oldest
// dropped past a cap. Appending costs the same at a thousand lines and at a million.
class LineStore
{
public:
    explicit LineStore(int capacity);
    ~LineStore();
    LineStore(const LineStore &) = delete;
    LineStore &operator=(const LineStore &) = delete;

    int capacity() const { return m_capacity; }
    // Drops the oldest lines beyond the new cap at once.
    void setCapacity(int lines);

    // Adds a line at the end, dropping the oldest one when the store is full.
    void append(QStringView text, qint64 stampMs, QStringView note = {});
    // Adds text to the end of the last line's text (a new line when there is none).
    void extendLast(QStringView text, qint64 stampMs);
    // Forgets every line; their numbers are not used again.
    void clear();

    int size() const { return m_size; }
    // The number of line 0 in the count of all lines ever appended, so that a line keeps its
    // number while older ones go.
    qint64 firstNumber() const { return m_firstNumber; }
    QString text(int index) const;
    QString note(int index) const;
    qint64 stamp(int index) const;

private:
    struct Chunk;
    struct Slot
    {
        const Chunk *chunk;
        int slot;
    };
    Slot at(int index) const;
    void dropOldest(int count);

    std::deque<std::unique_ptr<Chunk>> m_chunks;
    int m_capacity;
    int m_size = 0;
    int m_dropped = 0; // lines of the first chunk that are gone already
    qint64 m_firstNumber = 0;
};
