#include "ctlprogram.h"

#include "core/atomicfile.h"
#include "core/consoleoutput.h"
#include "font/fontexchange.h"
#include "font/fontfile.h"
#include "font/fontload.h"
#include "font/fonttable.h"

#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

// Fonts in the forms people keep 14-segment fonts in, to and from .fnt files; neither command
// opens a port.

namespace {

// Larger than any font in either form, with comments.
constexpr qint64 kMostBytes = 1 << 20;

QByteArray readSource(const QString &path)
{
    QFile file;
    const bool opened = path == QLatin1String("-")
                                ? file.open(STDIN_FILENO, QIODevice::ReadOnly)
                                : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        throw ChainInput::Refusal{FontLoad::sourceName(path) + ": " + file.errorString(),
                                  Exit::FileError};
    const QByteArray bytes = file.read(kMostBytes + 1);
    if (bytes.size() > kMostBytes)
        throw ChainInput::Refusal{FontLoad::sourceName(path) + ": larger than a font",
                                  Exit::FileError};
    return bytes;
}

} // namespace

CtlProgram::Plan CtlProgram::planFontImport()
{
    const FontFile::Patterns read = FontExchange::read(readSource(m_arguments[0]));
    if (!read.ok())
        throw ChainInput::Refusal{read.refusalFrom(FontLoad::sourceName(m_arguments[0])),
                                  Exit::FileError};
    FontTable table;
    table.resetfont();
    table.applyUserPatterns(read.patterns);
    const AtomicWriteResult written
            = writeFileAtomically(m_arguments[1], FontFile::saveFileBytes(table));
    if (!written.ok)
        throw ChainInput::Refusal{m_arguments[1] + ": " + written.errorText, Exit::OutputFailed};
    return Plan();
}

CtlProgram::Plan CtlProgram::planFontExport()
{
    const QString format = option("format").value_or(QStringLiteral("c"));
    if (format != QLatin1String("c") && format != QLatin1String("json"))
        throw ChainInput::Refusal{"--format takes c or json"};
    const QString name = option("name").value_or(QStringLiteral("vornik_font"));
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!identifier.match(name).hasMatch())
        throw ChainInput::Refusal{"--name takes a C name: letters, digits and _"};
    FontTable table;
    const FontFile::Patterns read = FontLoad::load(m_arguments[0], table);
    if (!read.ok())
        throw ChainInput::Refusal{read.refusalFrom(FontLoad::sourceName(m_arguments[0])),
                                  Exit::FileError};
    const QByteArray bytes = format == QLatin1String("json")
                                     ? FontExchange::jsonBytes(table)
                                     : FontExchange::cArrayBytes(table, name);
    if (!ConsoleOutput::print(bytes))
        throw ChainInput::Refusal{QString(), Exit::OutputFailed};
    return Plan();
}
