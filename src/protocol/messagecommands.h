#pragma once

#include "protocol/pacedcommand.h"

// The commands of the message block and the single-character block, as the window sends them:
// the message block's followed by Pause::kShort, those of "Send character" by Pause::kLong.
namespace MessageCommands {

// Enter in the message field: the message.
CommandList message(const QByteArray &message);
// Enter in an attribute field (F, U, E or S): the attribute, then the message as it stands.
CommandList attribute(char letter, const QByteArray &attribute, const QByteArray &message);
// "Write all": fonts, effects, speeds, then the message.
CommandList writeAll(const QByteArray &fonts, const QByteArray &effects, const QByteArray &speeds,
                     const QByteArray &message);
// "Send character": every digit back to font 0, then a blank message of six spaces whatever
// the chain length.
CommandList blank(int chainLength);
// The one-character message that shows character code on the first digit; none for a code
// outside a byte.
CommandList showCharacter(int code, int pause);

} // namespace MessageCommands
