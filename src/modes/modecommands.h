#pragma once

#include "protocol/pacedcommand.h"

#include <QString>

// The one message each step of the Time, Date, Count and Animate modes sends, followed by
// Pause::kShort.
namespace ModeCommands {

// The six digits of the time or the date (ModeSteps::timeDigits, dateDigits).
CommandList clock(const QString &digits);
CommandList count(const QString &xcount, int chainLength);
// Character code on every digit of the chain.
CommandList animate(int code, int chainLength);

} // namespace ModeCommands
