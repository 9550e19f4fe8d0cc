#include "support/decodedtext.h"

#include "font/textfont.h"
#include "protocol/framedecoder.h"
#include "session/textglyphs.h"

namespace DecodedText {

namespace {

// What digit shows in the user font: its pattern without the underscore, an attribute.
QString userPattern(const ChainState &state, int digit)
{
    QString pattern = state.digitPattern(digit);
    pattern[Protocol::kSegments - 1] = QLatin1Char('0');
    return state.fonts().at(digit) == Protocol::kUserFont ? pattern : QString();
}

} // namespace

bool digitShows(const ChainState &state, int digit, const QString &character)
{
    const QString pattern = userPattern(state, digit);
    if (!pattern.isEmpty())
        return TextFont::glyphOf(character) == pattern;
    // A code the built-in fonts do not draw shows nothing like its character.
    return TextGlyphs::isBuiltIn(character)
           && character == QString(QLatin1Char(state.characters().at(digit)));
}

QString read(const ChainState &state, const QStringList &expected)
{
    QString text;
    for (int digit = 0; digit < state.digits(); ++digit) {
        const QString wanted = expected.value(digit);
        const QString pattern = userPattern(state, digit);
        QString guess = pattern.isEmpty() ? QString(QLatin1Char(state.characters().at(digit)))
                                          : QStringLiteral("?");
        for (const char32_t character : TextFont::characters())
            if (!pattern.isEmpty() && guess == "?" && TextFont::glyph(character) == pattern)
                guess = QString::fromUcs4(&character, 1);
        text += !wanted.isEmpty() && digitShows(state, digit, wanted) ? wanted : guess;
    }
    return text;
}

QStringList readings(ChainState start, const QByteArray &wire, const QList<QStringList> &windows)
{
    FrameDecoder decoder;
    QStringList read;
    for (const DecodedFrame &frame : decoder.feed(wire)) {
        start.apply(frame);
        if (frame.kind == DecodedFrame::Kind::Command && frame.letter == 'M'
            && frame.argument.size() >= start.digits())
            read.append(DecodedText::read(
                    start, windows.isEmpty() ? QStringList()
                                             : windows.value(read.size(), windows.last())));
    }
    return read;
}

} // namespace DecodedText
