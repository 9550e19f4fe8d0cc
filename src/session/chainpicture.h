#pragma once

#include "protocol/pacedcommand.h"

#include <QByteArray>

class ChainState;

// What the chain shows, kept aside while a layer covers it, and the frames that bring it back.
namespace ChainPicture {

// state as the chain would show it after commands.
void apply(ChainState &state, const CommandList &commands);
// The frames that turn a chain showing now into one showing target: each attribute that
// differs, then the characters.
CommandList restore(const ChainState &now, const ChainState &target);
// fonts with every digit in the user font moved to font 0, so that a text shows as letters.
QByteArray withoutUserFont(const QByteArray &fonts);

} // namespace ChainPicture
