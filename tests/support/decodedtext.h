#pragma once

#include "session/chainstate.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What a decoded chain reads as text: each digit's character through the patterns it received
// (a digit in font U shows the user pattern of its code, read back through the text font) or
// its built-in character; and the readings a line's frames leave, one per whole-chain message.
namespace DecodedText {

// Whether digit shows character: in font U its pattern is character's glyph, otherwise its
// code is the character itself and one the built-in fonts draw.
bool digitShows(const ChainState &state, int digit, const QString &character);
// The chain read as text, each digit as the character of expected at its place when it shows
// that one, else as the first character whose glyph it shows ("?" for none).
QString read(const ChainState &state, const QStringList &expected = {});

// Replays wire onto start and reads the chain after each message frame that covers it whole,
// each reading as read() gives it against the window of windows at the same place (or the
// last window).
QStringList readings(ChainState start, const QByteArray &wire, const QList<QStringList> &windows);

} // namespace DecodedText
