#include "font/fontfile.h"

#include "core/basicutilities.h"
#include "core/linereader.h"
#include "font/fonttable.h"
#include "protocol/chainprotocol.h"

#include <QBuffer>

#include <algorithm>

namespace FontFile {
namespace {

enum class Fault { None, TooShort, TooFewSymbols, InvalidSymbol };

struct Check
{
    Fault fault = Fault::None;
    int code = 0;
};

// The first 15 characters are a pattern; characters after them are not looked at.
bool hasValidSegments(const QString &pattern)
{
    return Protocol::isPattern(QStringView(pattern).left(Protocol::kSegments));
}

// The second blank-separated field of each of the first 116 lines, in line order.
QStringList patternsOf(const QStringList &lines)
{
    QStringList patterns;
    for (const QString &line : lines.mid(0, kPatternCount))
        patterns.append(Field(line, 2, QLatin1Char(' ')));
    return patterns;
}

// The first fault in ascending code order.
Check check(const QStringList &patterns)
{
    if (patterns.size() < kPatternCount)
        return {Fault::TooShort, 0};
    for (int i = 0; i < kPatternCount; ++i) {
        const QString &pattern = patterns.at(i);
        const int code = FontTable::kFirstUserCode + i;
        if (pattern.size() < FontTable::kSegments)
            return {Fault::TooFewSymbols, code};
        if (!hasValidSegments(pattern))
            return {Fault::InvalidSymbol, code};
    }
    return {};
}

const QString kEmpty = QStringLiteral("file is empty");

// One pattern's fault, in the words both refusals use.
QString patternFault(const Check &result)
{
    const QString what = result.fault == Fault::TooFewSymbols ? QStringLiteral("too few symbols")
                                                              : QStringLiteral("invalid symbol");
    return QStringLiteral("font pattern %1 %2").arg(result.code).arg(what);
}

// Load's refusals begin with a capital.
QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

QString loadRefusal(const Check &result)
{
    switch (result.fault) {
    case Fault::None:
        return QString();
    case Fault::TooShort:
        return QStringLiteral("Less than %1 font patterns, load aborted").arg(kPatternCount);
    case Fault::TooFewSymbols:
    case Fault::InvalidSymbol:
        return capitalised(patternFault(result)) + QStringLiteral(", load aborted");
    }
    return QString();
}

QString startupRefusalForSavedLayout(const Check &result)
{
    switch (result.fault) {
    case Fault::None:
        return QString();
    case Fault::TooShort:
        return notLoadedText(QStringLiteral("fewer than %1 font patterns").arg(kPatternCount));
    case Fault::TooFewSymbols:
    case Fault::InvalidSymbol:
        return notLoadedText(patternFault(result));
    }
    return QString();
}

// The 126-line layout: line k + 1 is slot k; slots 10 to 125 must hold segment patterns.
QString bareLayoutRefusal(const QStringList &lines)
{
    if (lines.size() < kStartupLines)
        return notLoadedText(QStringLiteral("fewer than %1 lines").arg(kStartupLines));
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code) {
        if (!hasValidSegments(lines.at(code)))
            return notLoadedText(QStringLiteral("line %1 is not a %2-segment pattern")
                                         .arg(code + 1)
                                         .arg(Protocol::kSegments));
    }
    return QString();
}

// How many patterns in a row, from the first, are segment patterns.
qsizetype validRun(const QStringList &patterns)
{
    qsizetype run = 0;
    while (run < patterns.size() && hasValidSegments(patterns.at(run)))
        ++run;
    return run;
}

qsizetype goodCount(const QStringList &patterns)
{
    return std::count_if(patterns.cbegin(), patterns.cend(), hasValidSegments);
}

// Runs a reader of files on bytes held in memory.
template<typename Result, typename Reader>
Result readFromBytes(const QByteArray &bytes, Reader read)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer);
}

} // namespace

QString notLoadedText(const QString &reason)
{
    return QStringLiteral("Character set file not loaded: ") + reason;
}

Patterns readLoadFile(QIODevice &file)
{
    Patterns result;
    const QStringList lines = readBoundedLines(file, kPatternCount);
    if (lines.isEmpty()) {
        result.refusal = capitalised(kEmpty);
        return result;
    }
    const QStringList patterns = patternsOf(lines);
    const Check fault = check(patterns);
    result.refusal = loadRefusal(fault);
    // A short file fails at its first missing line, a bad pattern at its own line.
    if (fault.fault == Fault::TooShort)
        result.line = static_cast<int>(patterns.size()) + 1;
    else if (fault.fault != Fault::None)
        result.line = fault.code - FontTable::kFirstUserCode + 1;
    if (result.ok())
        result.patterns = patterns;
    return result;
}

Patterns readLoadFile(const QByteArray &bytes)
{
    return readFromBytes<Patterns>(bytes, [](QIODevice &file) { return readLoadFile(file); });
}

QByteArray saveFileBytes(const FontTable &table)
{
    QByteArray bytes;
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code) {
        const QString line = QString::number(code).rightJustified(3, QLatin1Char('0'))
                             + QLatin1Char(' ') + table.pattern(code);
        bytes += line.toLocal8Bit() + "\r\n";
    }
    return bytes;
}

StartupFont readStartupFile(QIODevice &file)
{
    StartupFont result;
    if (file.atEnd()) {
        result.refusal = notLoadedText(kEmpty);
        return result;
    }
    const QStringList lines = readBoundedLines(file, kStartupLines);
    const QStringList bare = lines.size() >= kStartupLines
                                     ? lines.mid(FontTable::kFirstUserCode, kPatternCount)
                                     : QStringList();
    const QStringList saved = lines.size() >= kPatternCount ? patternsOf(lines) : QStringList();
    const qsizetype bareGood = goodCount(bare);
    const qsizetype savedGood = goodCount(saved);

    if (bareGood == 0 && savedGood == 0) {
        // Neither layout fits: the reason given is that of the layout the file follows further.
        const qsizetype bareRun = validRun(lines.mid(FontTable::kFirstUserCode));
        const qsizetype savedRun = validRun(patternsOf(lines));
        const bool meantBare
                = bareRun > savedRun || (bareRun == savedRun && lines.size() >= kStartupLines);
        result.refusal = meantBare ? bareLayoutRefusal(lines)
                                   : startupRefusalForSavedLayout(check(patternsOf(lines)));
        return result;
    }

    // Every good line is taken; a slot whose line is no pattern keeps its default.
    const bool useBare = bareGood >= savedGood;
    if (useBare)
        result.lowSlots = lines.mid(0, FontTable::kFirstUserCode);
    const QStringList &patterns = useBare ? bare : saved;
    for (int i = 0; i < kPatternCount; ++i) {
        const QString &pattern = patterns.at(i);
        if (hasValidSegments(pattern)) {
            result.patterns.append(pattern.left(FontTable::kSegments));
            continue;
        }
        result.patterns.append(QString());
        // The reserved codes are never shown or sent, so their lines do not matter.
        if (!Protocol::isReservedCode(FontTable::kFirstUserCode + i))
            ++result.keptDefaults;
    }
    return result;
}

StartupFont readStartupFile(const QByteArray &bytes)
{
    return readFromBytes<StartupFont>(bytes, [](QIODevice &file) { return readStartupFile(file); });
}

QString Patterns::refusalFrom(const QString &source) const
{
    return source + (line > 0 ? QStringLiteral(": line %1: ").arg(line) : QStringLiteral(": "))
           + refusal;
}

} // namespace FontFile
