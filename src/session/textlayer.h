#pragma once

#include "protocol/pacedcommand.h"
#include "session/textglyphs.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class ChainState;
class FontTable;

// Any text on the chain through user-font glyphs: which glyphs the modules hold (as far as
// this program wrote them since the line opened), which codes it may write (a range the
// user's font leaves empty), and the frames that show a text: the missing glyphs' W and M
// pairs, the fonts when they change, then the codes.
class TextLayer
{
public:
    // By default the codes the default user font leaves empty.
    explicit TextLayer(int chain);

    // The codes the layer may use: first to last, less those font draws. A code it held that
    // is no longer free is forgotten.
    void setUserFont(const FontTable &font);
    void setRange(int first, int last);
    const QList<int> &freeCodes() const { return m_free; }

    // The line was reopened: the modules may hold nothing the layer wrote.
    void forget() { m_held.clear(); }
    const QHash<int, QString> &held() const { return m_held; }
    // code holds character again (written by someone else, as a reopen's resend does).
    void markHeld(int code, const QString &character) { m_held.insert(code, character); }

    // Throws ChainInput::Refusal when text needs more glyphs than there are free codes.
    void check(const QStringList &text) const;
    // The codes for every character of text needing a glyph, and the W and M pairs of those
    // not held yet (then counted as held); busy codes are written over last. A glyph held is
    // only trusted while written (the chain's state, when given) still has its pattern.
    // Throws ChainInput::Refusal when the free codes do not reach.
    struct Prepared
    {
        QHash<QString, int> codes;
        CommandList writes;
    };
    Prepared prepare(const QStringList &text, const QSet<int> &busy = {},
                     const ChainState *written = nullptr);

    // How a window is drawn: the content keeps the user's chosen built-in fonts, a
    // notification draws over every digit in font 0 where the user font is on show.
    enum class Use { Content, Notice };
    // The frames that show window when the chain's fonts are onShow: F when the fonts change,
    // then M with the codes.
    CommandList frames(const QStringList &window, const Prepared &prepared,
                       const QByteArray &onShow, Use use = Use::Content);
    // frames() over the fonts this layer sent last (every digit "0" at first), for a program
    // that does not follow the chain's state.
    CommandList frames(const QStringList &window, const Prepared &prepared);

    // The character digit shows, as text: the one whose glyph the layer put at its code, else
    // the code's own character.
    QString textAt(const ChainState &state, int digit) const;
    // The codes on show in font U that hold a glyph of the layer's.
    QSet<int> shownCodes(const ChainState &state) const;

private:
    void updateFree();

    int m_chain;
    int m_first;
    int m_last;
    QList<int> m_free;
    QList<int> m_userDrawn; // codes the user's font draws
    QHash<int, QString> m_held;
    QByteArray m_chosen; // each digit's built-in font under the layer's "U"
    QByteArray m_laidU;  // "1" where the layer, not the user, put the digit in font U
    QByteArray m_sent;   // the fonts the layer sent last
};
