#include "session/chainpicture.h"

#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "protocol/framedecoder.h"
#include "protocol/messagecommands.h"
#include "session/chainstate.h"

namespace ChainPicture {

void apply(ChainState &state, const CommandList &commands)
{
    for (const PacedCommand &command : commands) {
        DecodedFrame frame;
        frame.kind = DecodedFrame::Kind::Command;
        frame.letter = command.letter;
        frame.argument = command.argument;
        state.apply(frame);
    }
}

CommandList restore(const ChainState &now, const ChainState &target)
{
    const QByteArray was[] = {now.fonts(), now.underscores(), now.effects(), now.speeds()};
    const QByteArray wanted[]
            = {target.fonts(), target.underscores(), target.effects(), target.speeds()};
    CommandList commands;
    for (int row = DigitAttributes::Fonts; row <= DigitAttributes::Speeds; ++row) {
        if (was[row] != wanted[row])
            commands += {DigitAttributes::table().at(row).letter, wanted[row], Pause::kShort};
    }
    return commands + MessageCommands::message(target.characters());
}

QByteArray withoutUserFont(const QByteArray &fonts)
{
    QByteArray shown = fonts;
    shown.replace(Protocol::kUserFont, '0');
    return shown;
}

} // namespace ChainPicture
