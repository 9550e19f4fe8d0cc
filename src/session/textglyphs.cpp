#include "session/textglyphs.h"

#include "font/fontrules.h"
#include "font/fonttable.h"
#include "font/textfont.h"
#include "protocol/chainprotocol.h"
#include "session/chaininput.h"

namespace TextGlyphs {

QStringList caseNames()
{
    return {QStringLiteral("as-typed"), QStringLiteral("upper")};
}

Case caseOf(const QString &what, const std::optional<QString> &given)
{
    if (!given || *given == QLatin1String("as-typed"))
        return Case::AsTyped;
    if (*given == QLatin1String("upper"))
        return Case::Upper;
    throw ChainInput::Refusal{what + QStringLiteral(" takes \"as-typed\" or \"upper\"")};
}

QStringList split(const QString &text)
{
    QStringList characters;
    for (const TextFont::Character &character : TextFont::split(text))
        characters.append(character.text);
    return characters;
}

QStringList characters(const QString &what, const QString &text, Case textCase)
{
    const QString cased = textCase == Case::Upper ? text.toUpper() : text;
    const QList<TextFont::Character> missing = TextFont::covers(cased);
    if (!missing.isEmpty()) {
        QStringList named;
        for (const TextFont::Character &character : missing) {
            const uint code = character.text.toUcs4().value(0);
            // A control character is named as a token, never written raw into a message.
            const QString shown
                    = code < 0x20 || code == 0x7f
                              ? QStringLiteral("[%1]").arg(code, 2, 16, QLatin1Char('0')).toUpper()
                              : character.text;
            named.append(
                    QStringLiteral("\"%1\" (U+%2) at character %3")
                            .arg(shown,
                                 QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper())
                            .arg(character.position + 1));
        }
        throw ChainInput::Refusal{what + QStringLiteral(": no glyph for ")
                                  + named.join(QStringLiteral(", "))};
    }
    return split(cased);
}

bool isBuiltIn(const QString &character)
{
    if (character.size() != 1)
        return false;
    const char16_t c = character.at(0).unicode();
    return c == u' ' || (c >= u'0' && c <= u'@') || (c >= u'A' && c <= u'Z');
}

QStringList needingGlyphs(const QStringList &text)
{
    QStringList needed;
    for (const QString &character : text) {
        if (!isBuiltIn(character) && !needed.contains(character))
            needed.append(character);
    }
    return needed;
}

QStringList fitted(const QStringList &text, int length, bool padLast)
{
    QStringList shown = text.mid(0, length);
    const QString fill = padLast && !shown.isEmpty() ? shown.last() : QStringLiteral(" ");
    while (shown.size() < length)
        shown.append(fill);
    return shown;
}

namespace {

QString tooMany(qsizetype needed, qsizetype free)
{
    return QStringLiteral("the text needs %1 glyphs beyond the built-in characters; the user "
                          "font leaves %2 codes free")
            .arg(needed)
            .arg(free);
}

// The character's own code when it has one in the user font.
int ownCode(const QString &character)
{
    const QList<uint> codes = character.toUcs4();
    return codes.size() == 1 && Protocol::isUserCode(static_cast<int>(codes.first()))
                   ? static_cast<int>(codes.first())
                   : -1;
}

} // namespace

Assignment assign(const QStringList &needed, const QList<int> &free,
                  const QHash<int, QString> &held, const QSet<int> &busy)
{
    Assignment assignment;
    if (needed.size() > free.size()) {
        assignment.refusal = tooMany(needed.size(), free.size());
        return assignment;
    }
    QSet<int> taken;
    QStringList left;
    for (const QString &character : needed) {
        const int code = held.key(character, -1);
        if (code >= 0 && free.contains(code) && !taken.contains(code)) {
            assignment.codes.insert(character, code);
            taken.insert(code);
        } else {
            left.append(character);
        }
    }
    // A code may be written over when it holds nothing, or a glyph neither shown nor needed.
    const auto open = [&](int code, bool evict) {
        if (taken.contains(code))
            return false;
        if (!held.contains(code))
            return true;
        return evict && !needed.contains(held.value(code));
    };
    for (const QString &character : left) {
        int code = ownCode(character);
        if (!free.contains(code) || !open(code, true) || busy.contains(code))
            code = -1;
        for (int pass = 0; pass < 3 && code < 0; ++pass) {
            for (const int candidate : free) {
                if (open(candidate, pass >= 1) && (pass == 2 || !busy.contains(candidate))) {
                    code = candidate;
                    break;
                }
            }
        }
        if (code < 0) {
            assignment.refusal = tooMany(needed.size(), free.size());
            assignment.codes.clear();
            assignment.writes.clear();
            return assignment;
        }
        taken.insert(code);
        assignment.codes.insert(character, code);
        assignment.writes.append(code);
    }
    return assignment;
}

Frame frame(const QStringList &window, const QByteArray &base, const QHash<QString, int> &codes)
{
    Frame frame;
    for (int digit = 0; digit < window.size(); ++digit) {
        const QString &character = window.at(digit);
        const char font = digit < base.size() ? base.at(digit) : '0';
        if (isBuiltIn(character)) {
            frame.fonts += font;
            frame.codes += character.toLatin1();
        } else {
            frame.fonts += Protocol::kUserFont;
            frame.codes += static_cast<char>(codes.value(character, ' '));
        }
    }
    return frame;
}

CommandList glyphWrite(int code, const QString &character)
{
    const QString pattern
            = FontRules::storedPattern(TextFont::glyphOf(character).value_or(FontTable::allOff()));
    return {{'W', FontRules::patternWriteArgument(code, pattern), Pause::kShort},
            {'M', QByteArray(1, static_cast<char>(code)), Pause::kShort}};
}

} // namespace TextGlyphs
