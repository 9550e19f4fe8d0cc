#include "session/textlayer.h"

#include "font/fonttable.h"
#include "font/textfont.h"
#include "protocol/chainprotocol.h"
#include "protocol/messagecommands.h"
#include "session/chaininput.h"
#include "session/chainpicture.h"
#include "session/chainstate.h"

TextLayer::TextLayer(int chain)
    : m_chain(chain), m_first(Protocol::kFirstUserCode), m_last(Protocol::kLastUserCode),
      m_chosen(chain, '0'), m_laidU(chain, '0'), m_sent(chain, '0')
{
    FontTable defaults;
    defaults.resetfont();
    setUserFont(defaults);
}

void TextLayer::setUserFont(const FontTable &font)
{
    m_userDrawn.clear();
    for (int code = Protocol::kFirstUserCode; code <= Protocol::kLastUserCode; ++code) {
        if (font.pattern(code).contains(QLatin1Char('1')))
            m_userDrawn.append(code);
    }
    updateFree();
}

void TextLayer::setRange(int first, int last)
{
    m_first = first;
    m_last = last;
    updateFree();
}

void TextLayer::updateFree()
{
    m_free.clear();
    for (int code = m_first; code <= m_last; ++code) {
        if (Protocol::isUserCode(code) && !m_userDrawn.contains(code))
            m_free.append(code);
    }
    for (auto held = m_held.begin(); held != m_held.end();)
        held = m_free.contains(held.key()) ? std::next(held) : m_held.erase(held);
}

void TextLayer::check(const QStringList &text) const
{
    const TextGlyphs::Assignment assignment
            = TextGlyphs::assign(TextGlyphs::needingGlyphs(text), m_free, {}, {});
    if (!assignment.refusal.isEmpty())
        throw ChainInput::Refusal{assignment.refusal};
}

TextLayer::Prepared TextLayer::prepare(const QStringList &text, const QSet<int> &busy,
                                       const ChainState *written)
{
    if (written) {
        for (auto held = m_held.begin(); held != m_held.end();)
            held = TextFont::glyphOf(held.value()) == written->userPattern(held.key())
                           ? std::next(held)
                           : m_held.erase(held);
    }
    const TextGlyphs::Assignment assignment
            = TextGlyphs::assign(TextGlyphs::needingGlyphs(text), m_free, m_held, busy);
    if (!assignment.refusal.isEmpty())
        throw ChainInput::Refusal{assignment.refusal};
    Prepared prepared;
    prepared.codes = assignment.codes;
    for (const int code : assignment.writes) {
        const QString character = assignment.codes.key(code);
        prepared.writes += TextGlyphs::glyphWrite(code, character);
        m_held.insert(code, character);
    }
    return prepared;
}

CommandList TextLayer::frames(const QStringList &window, const Prepared &prepared,
                              const QByteArray &onShow, Use use)
{
    // A copy: onShow may be the fonts this layer sent last, which change below.
    const QByteArray shown = onShow.left(m_chain);
    QByteArray base = shown;
    if (use == Use::Notice) {
        base = ChainPicture::withoutUserFont(base);
    } else {
        // A digit the layer put in "U" keeps the built-in font it had; one the user put there
        // shows the user's own font for the built-in characters.
        for (int digit = 0; digit < base.size(); ++digit) {
            if (base.at(digit) == Protocol::kUserFont && m_laidU.at(digit) == '1')
                base[digit] = m_chosen.at(digit);
        }
    }
    const TextGlyphs::Frame frame = TextGlyphs::frame(window, base, prepared.codes);
    if (use == Use::Content) {
        for (int digit = 0; digit < base.size() && digit < m_chain; ++digit) {
            m_chosen[digit] = base.at(digit);
            m_laidU[digit] = frame.fonts.at(digit) == Protocol::kUserFont
                                             && base.at(digit) != Protocol::kUserFont
                                     ? '1'
                                     : '0';
        }
    }
    m_sent = frame.fonts;
    CommandList commands;
    if (frame.fonts != shown)
        commands += {'F', frame.fonts, Pause::kShort};
    return commands + MessageCommands::message(frame.codes);
}

CommandList TextLayer::frames(const QStringList &window, const Prepared &prepared)
{
    return frames(window, prepared, m_sent);
}

QString TextLayer::textAt(const ChainState &state, int digit) const
{
    const char code = state.characters().at(digit);
    if (state.fonts().at(digit) == Protocol::kUserFont) {
        const QString character = m_held.value(static_cast<unsigned char>(code));
        if (!character.isEmpty()
            && TextFont::glyphOf(character) == state.userPattern(static_cast<unsigned char>(code)))
            return character;
    }
    return QString(QLatin1Char(code));
}

QSet<int> TextLayer::shownCodes(const ChainState &state) const
{
    QSet<int> codes;
    for (int digit = 0; digit < state.digits(); ++digit) {
        const int code = static_cast<unsigned char>(state.characters().at(digit));
        if (state.fonts().at(digit) == Protocol::kUserFont && m_held.contains(code))
            codes.insert(code);
    }
    return codes;
}
