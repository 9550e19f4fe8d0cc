#pragma once

#include "protocol/chainprotocol.h"

#include <QByteArray>

// The display chain's command language: "$B7", one letter, the argument, one CR.
namespace Command {

using Protocol::kPrefix;
using Protocol::kSkip;

// True for the letters the chain understands: M, F, U, E, S and W.
bool isLetter(char letter);

// Builds one command. Throws std::invalid_argument for an unknown letter or an argument that
// holds a CR, so a broken frame can never be built.
QByteArray build(char letter, const QByteArray &argument);

// True when bytes form one well-formed command.
bool isWellFormed(const QByteArray &bytes);

} // namespace Command
