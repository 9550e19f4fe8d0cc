#include "core/linestore.h"

#include <QtGlobal>

namespace {
// Lines per chunk: enough that a chunk's own overhead is nothing per line, few enough that the
// dropped lines kept until their whole chunk goes cost little.
constexpr int kChunkLines = 4096;
// Room for a chunk's text from the start, so that filling it seldom moves it.
constexpr int kChunkBytes = kChunkLines * 32;
constexpr int kMaxNoteBytes = 0xffff;
} // namespace

struct LineStore::Chunk
{
    QByteArray bytes; // each line's text and then its note, line after line
    quint32 ends[kChunkLines];
    quint16 noteBytes[kChunkLines];
    qint64 stamps[kChunkLines];
    int count = 0;
};

LineStore::LineStore(int capacity) : m_capacity(qMax(1, capacity)) {}

LineStore::~LineStore() = default;

void LineStore::setCapacity(int lines)
{
    m_capacity = qMax(1, lines);
    if (m_size > m_capacity)
        dropOldest(m_size - m_capacity);
}

void LineStore::append(QStringView text, qint64 stampMs, QStringView note)
{
    if (m_size >= m_capacity)
        dropOldest(m_size - m_capacity + 1);
    if (m_chunks.empty() || m_chunks.back()->count == kChunkLines) {
        // A full chunk gives back the room it did not need.
        if (!m_chunks.empty())
            m_chunks.back()->bytes.squeeze();
        m_chunks.push_back(std::make_unique<Chunk>());
        m_chunks.back()->bytes.reserve(kChunkBytes);
    }
    Chunk &chunk = *m_chunks.back();
    chunk.bytes += text.toUtf8();
    const QByteArray noteBytes = note.toUtf8().left(kMaxNoteBytes);
    chunk.bytes += noteBytes;
    const int slot = chunk.count++;
    chunk.ends[slot] = static_cast<quint32>(chunk.bytes.size());
    chunk.noteBytes[slot] = static_cast<quint16>(noteBytes.size());
    chunk.stamps[slot] = stampMs;
    ++m_size;
}

void LineStore::extendLast(QStringView text, qint64 stampMs)
{
    if (m_size == 0) {
        append(text, stampMs);
        return;
    }
    // The last line is always the last one of the last chunk.
    Chunk &chunk = *m_chunks.back();
    const int slot = chunk.count - 1;
    const QByteArray added = text.toUtf8();
    chunk.bytes.insert(static_cast<qsizetype>(chunk.ends[slot] - chunk.noteBytes[slot]), added);
    chunk.ends[slot] += static_cast<quint32>(added.size());
}

void LineStore::clear()
{
    m_firstNumber += m_size;
    m_size = 0;
    m_dropped = 0;
    m_chunks.clear();
}

void LineStore::dropOldest(int count)
{
    count = qMin(count, m_size);
    m_size -= count;
    m_firstNumber += count;
    if (m_size == 0) {
        m_chunks.clear();
        m_dropped = 0;
        return;
    }
    // Every chunk but the last is full, so a first chunk dropped whole has a successor.
    m_dropped += count;
    while (m_dropped >= kChunkLines) {
        m_chunks.pop_front();
        m_dropped -= kChunkLines;
    }
}

LineStore::Slot LineStore::at(int index) const
{
    const int held = m_dropped + index;
    return {m_chunks[static_cast<size_t>(held / kChunkLines)].get(), held % kChunkLines};
}

QString LineStore::text(int index) const
{
    const Slot line = at(index);
    const quint32 begin = line.slot == 0 ? 0 : line.chunk->ends[line.slot - 1];
    const quint32 end = line.chunk->ends[line.slot] - line.chunk->noteBytes[line.slot];
    return QString::fromUtf8(line.chunk->bytes.constData() + begin,
                             static_cast<qsizetype>(end - begin));
}

QString LineStore::note(int index) const
{
    const Slot line = at(index);
    const quint32 end = line.chunk->ends[line.slot];
    const quint16 length = line.chunk->noteBytes[line.slot];
    return QString::fromUtf8(line.chunk->bytes.constData() + end - length, length);
}

qint64 LineStore::stamp(int index) const
{
    const Slot line = at(index);
    return line.chunk->stamps[line.slot];
}
