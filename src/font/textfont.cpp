#include "font/textfont.h"

#include "protocol/chainprotocol.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

// The resource is in a static library: nothing else would pull its registration in. (Outside
// any namespace, as the macro declares the registration function where it stands.)
static void registerTextFontResource()
{
    Q_INIT_RESOURCE(textfont);
}

namespace {

const TextFont::Table &shipped()
{
    static const TextFont::Table table = [] {
        registerTextFontResource();
        QFile file(QStringLiteral(":/vornik/textfont.txt"));
        TextFont::Table read = file.open(QIODevice::ReadOnly)
                                       ? TextFont::parse(file.readAll())
                                       : TextFont::Table{{}, file.errorString(), 0};
        if (!read.ok()) {
            qWarning("textfont.txt: line %d: %s", read.line, qPrintable(read.refusal));
            read.glyphs.clear();
        }
        return read;
    }();
    return table;
}

// "U+00B0" as a code point, or nothing.
std::optional<char32_t> codePoint(QStringView field)
{
    if (!field.startsWith(QLatin1String("U+")) || field.size() < 6 || field.size() > 8)
        return std::nullopt;
    bool ok = false;
    const uint value = field.mid(2).toUInt(&ok, 16);
    if (!ok || value > 0x10FFFF || QChar::isSurrogate(value))
        return std::nullopt;
    return static_cast<char32_t>(value);
}

QString refusalText(const QStringList &fields, char32_t code, const TextFont::Table &table)
{
    if (fields.size() < 3)
        return QStringLiteral("a line holds a code point, the character and its pattern");
    if (fields.size() > 3 && !fields.at(3).startsWith(QLatin1Char('#')))
        return QStringLiteral("\"%1\" after the pattern is not a comment").arg(fields.at(3));
    if (!codePoint(fields.at(0)))
        return QStringLiteral("\"%1\" is not a code point such as U+00B0").arg(fields.at(0));
    const QList<uint> shown = fields.at(1).toUcs4();
    if (shown.size() == 1 && shown.first() != code)
        return QStringLiteral("\"%1\" is not the character %2").arg(fields.at(1), fields.at(0));
    if (!Protocol::isPattern(fields.at(2)))
        return QStringLiteral("\"%1\" is not 15 characters 0 or 1").arg(fields.at(2));
    if (fields.at(2).back() != QLatin1Char('0'))
        return QStringLiteral("the pattern lights the underscore");
    if (table.glyphs.contains(code))
        return QStringLiteral("%1 is drawn twice").arg(fields.at(0));
    return QString();
}

bool isMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
           || category == QChar::Mark_Enclosing;
}

} // namespace

namespace TextFont {

Table parse(const QByteArray &bytes)
{
    Table table;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        const char32_t code = codePoint(fields.at(0)).value_or(0);
        table.refusal = refusalText(fields, code, table);
        if (!table.ok()) {
            table.line = i + 1;
            table.glyphs.clear();
            return table;
        }
        table.glyphs.insert(code, fields.at(2));
    }
    return table;
}

QList<char32_t> characters()
{
    return shipped().glyphs.keys();
}

std::optional<QString> glyph(char32_t character)
{
    const QMap<char32_t, QString> &glyphs = shipped().glyphs;
    const auto drawn = glyphs.constFind(character);
    if (drawn != glyphs.cend())
        return *drawn;
    // The base letter: what is left of the decomposition without its accents.
    QList<uint> base
            = QString::fromUcs4(&character, 1).normalized(QString::NormalizationForm_KD).toUcs4();
    base.removeIf([](uint c) { return isMark(c); });
    if (base.size() != 1 || base.first() == character)
        return std::nullopt;
    const auto fallback = glyphs.constFind(base.first());
    return fallback != glyphs.cend() ? std::optional<QString>(*fallback) : std::nullopt;
}

std::optional<QString> glyphOf(QStringView character)
{
    const QList<uint> codes
            = character.toString().normalized(QString::NormalizationForm_C).toUcs4();
    if (codes.size() == 1)
        return glyph(codes.first());
    // A letter with accents that have no composed form: the letter alone.
    if (codes.isEmpty() || isMark(codes.first())
        || !std::all_of(codes.cbegin() + 1, codes.cend(), [](uint c) { return isMark(c); }))
        return std::nullopt;
    return glyph(codes.first());
}

QList<Character> split(QStringView text)
{
    QList<Character> characters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.toString());
    qsizetype start = 0;
    while (finder.toNextBoundary() >= 0) {
        const qsizetype end = finder.position();
        characters.append({text.mid(start, end - start).toString(), characters.size(), start});
        start = end;
    }
    return characters;
}

QList<Character> covers(QStringView text)
{
    QList<Character> missing;
    for (const Character &character : split(text)) {
        if (!glyphOf(character.text))
            missing.append(character);
    }
    return missing;
}

} // namespace TextFont
