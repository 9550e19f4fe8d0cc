#include "support/testhelpers.h"

QString onWire(const CommandList &commands)
{
    QByteArray wire;
    for (const PacedCommand &command : commands)
        wire += command.bytes() + '(' + QByteArray::number(command.pause) + ')';
    return QString::fromLatin1(wire);
}
