#include "support/decodedtext.h"

#include "font/textfont.h"
#include "protocol/framedecoder.h"
#include "session/textglyphs.h"

namespace DecodedText {

namespace {

QString shownPattern(const ChainState &state, int digit)
{
    // The underscore is an attribute, not a part of the glyph.
    QString pattern = state.digitPattern(digit);
    pattern[Protocol::kSegments - 1] = QLatin1Char('0');
    return pattern;
}

bool inUserFont(const ChainState &state, int digit)
{
    return state.fonts().at(digit) == Protocol::kUserFont;
}

QString guess(const ChainState &state, int digit)
{
    if (!inUserFont(state, digit))
        return QString(QLatin1Char(state.characters().at(digit)));
    const QString pattern = shownPattern(state, digit);
    for (const char32_t character : TextFont::characters())
        if (TextFont::glyph(character) == pattern)
            return QString::fromUcs4(&character, 1);
    return QStringLiteral("?");
}

} // namespace

bool digitShows(const ChainState &state, int digit, const QString &character)
{
    if (inUserFont(state, digit))
        return TextFont::glyphOf(character) == shownPattern(state, digit);
    // A code the built-in fonts do not draw shows nothing like its character.
    return TextGlyphs::isBuiltIn(character)
           && character == QString(QLatin1Char(state.characters().at(digit)));
}

QString read(const ChainState &state, const QStringList &expected)
{
    QString text;
    for (int digit = 0; digit < state.digits(); ++digit) {
        const QString wanted = expected.value(digit);
        text += !wanted.isEmpty() && digitShows(state, digit, wanted) ? wanted
                                                                      : guess(state, digit);
    }
    return text;
}

QStringList readings(ChainState start, const QByteArray &wire, const QList<QStringList> &windows)
{
    FrameDecoder decoder;
    QStringList read;
    for (const DecodedFrame &frame : decoder.feed(wire)) {
        start.apply(frame);
        if (frame.kind != DecodedFrame::Kind::Command || frame.letter != 'M'
            || frame.argument.size() < start.digits())
            continue;
        const QStringList window
                = windows.isEmpty() ? QStringList() : windows.value(read.size(), windows.last());
        read.append(DecodedText::read(start, window));
    }
    return read;
}

} // namespace DecodedText
