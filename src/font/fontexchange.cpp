#include "font/fontexchange.h"

#include "font/fontrules.h"
#include "font/fonttable.h"
#include "protocol/chainprotocol.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <array>

namespace FontExchange {
namespace {

// The 14-segment bit of our segment k.
constexpr std::array<int, Protocol::kSegments> kBitOfSegment
        = {0, 1, 2, 3, 4, 5, 8, 9, 10, 7, 13, 12, 11, 6, 14};
constexpr uint kLargestValue = 0x7fff;
constexpr int kFromSpace = 96;
constexpr int kFromZero = 128;
constexpr int kAsciiCodes = 128;

FontFile::Patterns refused(int line, const QString &why)
{
    FontFile::Patterns result;
    result.line = line;
    result.refusal = why;
    return result;
}

FontFile::Patterns emptyPatterns()
{
    FontFile::Patterns result;
    for (int i = 0; i < FontFile::kPatternCount; ++i)
        result.patterns.append(QString());
    return result;
}

void store(FontFile::Patterns &result, int code, const QString &pattern)
{
    if (code >= FontTable::kFirstUserCode && code <= FontTable::kLastUserCode)
        result.patterns[code - FontTable::kFirstUserCode] = pattern;
}

int lineAt(const QByteArray &text, qsizetype offset)
{
    return static_cast<int>(text.left(offset).count('\n')) + 1;
}

// text with its comments blanked out, line ends kept, so that offsets still name lines; an
// unclosed block comment leaves its start in unclosed.
QByteArray withoutComments(QByteArray text, qsizetype &unclosed)
{
    unclosed = -1;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != '/' || (text.at(i + 1) != '/' && text.at(i + 1) != '*'))
            continue;
        const bool block = text.at(i + 1) == '*';
        qsizetype end = block ? text.indexOf("*/", i + 2) : text.indexOf('\n', i);
        if (block && end < 0)
            unclosed = i;
        end = end < 0 ? text.size() : end + (block ? 2 : 0);
        for (qsizetype k = i; k < end; ++k) {
            if (text.at(k) != '\n')
                text[k] = ' ';
        }
        i = end - 1;
    }
    return text;
}

// One value of the list as C reads it, with an optional u/l suffix.
std::optional<uint> valueOf(QByteArray token)
{
    while (!token.isEmpty() && QByteArrayLiteral("uUlL").contains(token.back()))
        token.chop(1);
    bool ok = false;
    const uint value = token.toUInt(&ok, 0);
    if (!ok || token.startsWith('-') || token.startsWith('+'))
        return std::nullopt;
    return value;
}

// Where key stands as an object key in text, or 0.
int lineOfKey(const QByteArray &text, const QString &key)
{
    const QByteArray written = QJsonDocument(QJsonObject{{key, 0}}).toJson(QJsonDocument::Compact);
    QStringList forms = {QRegularExpression::escape(key),
                         QRegularExpression::escape(QString::fromUtf8(written.mid(2).chopped(4)))};
    if (key.size() == 1)
        forms << QStringLiteral("\\\\u%1").arg(key.at(0).unicode(), 4, 16, QLatin1Char('0'));
    const QRegularExpression pattern(QStringLiteral("\"(?:%1)\"\\s*:").arg(forms.join('|')),
                                     QRegularExpression::CaseInsensitiveOption);
    const QString decoded = QString::fromUtf8(text);
    const QRegularExpressionMatch match = pattern.match(decoded);
    return match.hasMatch() ? static_cast<int>(decoded.left(match.capturedStart()).count('\n')) + 1
                            : 0;
}

// key's pattern, or why there is none.
QString patternOf(const QString &key, const QJsonValue &value, QString &pattern)
{
    const QList<uint> codes = key.toUcs4();
    if (codes.size() != 1)
        return QStringLiteral("\"%1\" is not one character").arg(key);
    if (codes.first() < uint(FontTable::kFirstUserCode)
        || codes.first() > uint(FontTable::kLastUserCode))
        return QStringLiteral("\"%1\" has no code in the user font (10 to 125)").arg(key);
    if (value.isString() && Protocol::isPattern(value.toString())) {
        pattern = value.toString();
        return QString();
    }
    const double number = value.toDouble(-1);
    if (value.isDouble() && number >= 0 && number <= kLargestValue && number == int(number)) {
        pattern = fromSegmentBits(static_cast<quint16>(number));
        return QString();
    }
    return QStringLiteral("the value of \"%1\" is neither 15 characters 0 or 1 nor a number "
                          "from 0 to %2")
            .arg(key)
            .arg(kLargestValue);
}

} // namespace

quint16 toSegmentBits(const QString &pattern)
{
    uint bits = 0;
    for (int k = 0; k < Protocol::kSegments && k < pattern.size(); ++k) {
        if (pattern.at(k) == QLatin1Char('1'))
            bits |= 1u << kBitOfSegment[static_cast<size_t>(k)];
    }
    return static_cast<quint16>(bits);
}

QString fromSegmentBits(quint16 bits)
{
    QString pattern = FontTable::allOff();
    for (int k = 0; k < Protocol::kSegments; ++k) {
        if (bits & (1u << kBitOfSegment[static_cast<size_t>(k)]))
            pattern[k] = QLatin1Char('1');
    }
    return pattern;
}

FontFile::Patterns readCArray(const QByteArray &text)
{
    qsizetype unclosed = -1;
    const QByteArray plain = withoutComments(text, unclosed);
    if (unclosed >= 0)
        return refused(lineAt(text, unclosed), QStringLiteral("a comment is not closed"));
    const qsizetype open = plain.indexOf('{');
    const qsizetype close = plain.indexOf('}', open + 1);
    if (open >= 0 && close < 0)
        return refused(lineAt(text, open), QStringLiteral("the \"{\" is not closed"));
    if (open < 0 && plain.contains('}'))
        return refused(lineAt(text, plain.indexOf('}')), QStringLiteral("a \"}\" without \"{\""));
    const qsizetype first = open < 0 ? 0 : open + 1;
    const qsizetype last = open < 0 ? plain.size() : close;
    if (open >= 0) {
        const QByteArray after = plain.mid(close + 1).trimmed();
        if (!after.isEmpty() && after != ";")
            return refused(lineAt(text, plain.indexOf(after, close + 1)),
                           QStringLiteral("\"%1\" after the list").arg(QString::fromUtf8(after)));
    }

    QList<uint> values;
    qsizetype start = first;
    while (start < last) {
        qsizetype end = plain.indexOf(',', start);
        end = end < 0 || end > last ? last : end;
        const QByteArray token = plain.mid(start, end - start).trimmed();
        const qsizetype at = token.isEmpty() ? end : plain.indexOf(token, start);
        const bool lastOne = end == last;
        if (token.isEmpty() && !(lastOne && !values.isEmpty()))
            return refused(lineAt(text, at), QStringLiteral("a value is missing between commas"));
        if (!token.isEmpty()) {
            const std::optional<uint> value = valueOf(token);
            if (!value)
                return refused(
                        lineAt(text, at),
                        QStringLiteral("\"%1\" is not a number").arg(QString::fromUtf8(token)));
            if (*value > kLargestValue)
                return refused(lineAt(text, at), QStringLiteral("%1 is beyond 14 segments and "
                                                                "the point (0x7FFF)")
                                                         .arg(QString::fromUtf8(token)));
            values.append(*value);
        }
        start = end + 1;
    }
    if (values.size() != kFromSpace && values.size() != kFromZero)
        return refused(lineAt(text, last), QStringLiteral("%1 values; a font has %2 (from the "
                                                          "space) or %3 (from code 0)")
                                                   .arg(values.size())
                                                   .arg(kFromSpace)
                                                   .arg(kFromZero));
    FontFile::Patterns result = emptyPatterns();
    const int offset = kAsciiCodes - static_cast<int>(values.size());
    for (int i = 0; i < values.size(); ++i)
        store(result, offset + i, fromSegmentBits(static_cast<quint16>(values.at(i))));
    return result;
}

FontFile::Patterns readJson(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return refused(lineAt(text, error.offset), error.errorString());
    if (!document.isObject())
        return refused(1, QStringLiteral("not an object from character to pattern"));
    const QJsonObject object = document.object();
    FontFile::Patterns result = emptyPatterns();
    FontFile::Patterns fault;
    for (auto entry = object.begin(); entry != object.end(); ++entry) {
        QString pattern;
        const QString why = patternOf(entry.key(), entry.value(), pattern);
        const int line = why.isEmpty() ? 0 : lineOfKey(text, entry.key());
        // The first fault in the file, whatever order the object keeps its keys in.
        if (!why.isEmpty() && (fault.ok() || (line > 0 && (fault.line == 0 || line < fault.line))))
            fault = refused(line, why);
        if (why.isEmpty())
            store(result, entry.key().toUcs4().first(), pattern);
    }
    return fault.ok() ? result : fault;
}

FontFile::Patterns read(const QByteArray &text)
{
    static const QRegularExpression json(QStringLiteral("^\\s*\\{\\s*[\"}]"));
    return json.match(QString::fromUtf8(text)).hasMatch() ? readJson(text) : readCArray(text);
}

QByteArray cArrayBytes(const FontTable &table, const QString &name)
{
    QByteArray bytes
            = "// A 14-segment font from vornik: one value per character code 0 to 127; codes 10 "
              "to 125 are the\n// user font's. Bits 0 to 13 are A to N, bit 14 the point "
              "(the modules' underscore).\n";
    bytes += "const uint16_t " + name.toUtf8() + "[128] = {\n";
    for (int code = 0; code < kAsciiCodes; ++code) {
        const bool user = code >= FontTable::kFirstUserCode && code <= FontTable::kLastUserCode;
        const quint16 bits
                = user ? toSegmentBits(FontRules::storedPattern(table.pattern(code))) : 0;
        const QByteArray shown = code > 32 && code < 127 ? " " + QByteArray(1, char(code)) : "";
        bytes += QStringLiteral("    0x%1, /* %2")
                         .arg(bits, 4, 16, QLatin1Char('0'))
                         .arg(code)
                         .toUtf8()
                 + shown + " */\n";
    }
    return bytes + "};\n";
}

QByteArray jsonBytes(const FontTable &table)
{
    QJsonObject object;
    for (int code = FontTable::kFirstUserCode; code <= FontTable::kLastUserCode; ++code)
        object.insert(QString(QChar(code)), FontRules::storedPattern(table.pattern(code)));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

} // namespace FontExchange
