#include "support/testhelpers.h"

#include "font/fonttable.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QWidget>

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void loseFocus(QWidget *widget)
{
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &focusOut);
}

QString distinctPattern(int code)
{
    QString text;
    const unsigned mixed = static_cast<unsigned>(code) * 2654435761u;
    for (int k = 0; k < FontTable::kSegments; ++k)
        text += (mixed >> (k + 9)) & 1u ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}

QStringList savedFontLines(int shift)
{
    QStringList lines;
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
        lines.append(QString::number(code).rightJustified(3, QLatin1Char('0')) + QLatin1Char(' ')
                     + distinctPattern(code + shift));
    return lines;
}

QString onWire(const CommandList &commands)
{
    QByteArray wire;
    for (const PacedCommand &command : commands)
        wire += command.bytes() + '(' + QByteArray::number(command.pause) + ')';
    return QString::fromLatin1(wire);
}

QByteArray joinLines(const QStringList &lines, const QByteArray &end)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLocal8Bit() + end;
    return bytes;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    // Past the limit the write fails with EFBIG instead of the process being stopped.
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = m_saved;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
}
