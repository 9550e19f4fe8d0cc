#pragma once

#include "core/exitstatus.h"
#include "protocol/pacedcommand.h"
#include "session/modeinputs.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <optional>

// Input from outside the window (a command line, a request) judged by the window's field rules.
// Each check answers what the field would send, or throws ChainInput::Refusal naming the input
// and what is wrong with it; what names the input in the refusal ("--fonts", "line 3").
namespace ChainInput {

struct Refusal
{
    QString text;
    Exit::Status status = Exit::InputError; // what a command line ends with
};

// Per attribute row (DigitAttributes::Row), the text given for it, or nothing.
using Attributes = std::array<std::optional<QString>, 4>;
// The attributes given under the rows' names ("fonts", "speeds"), as option answers them.
Attributes given(const std::function<std::optional<QString>(const QString &name)> &option);

// A whole number from low to high.
int number(const QString &what, const QString &text, int low, int high);
// An attribute field as its Enter sends it; one not given stands as after a length change.
QByteArray attribute(int row, const QString &what, const std::optional<QString> &text, int length);
// text (checked) on a chain of length digits: cut, then filled with blanks, or with copies of
// its last character when padLast (the window's fitting rule).
QByteArray fitted(const QString &text, int length, bool padLast);
// A pad given as "space" (the default when none is) or "last": whether it is the last.
bool padLast(const QString &what, const std::optional<QString> &pad);
int userCode(const QString &what, const QString &text);
// A segment pattern: fifteen "0" or "1".
QString pattern(const QString &what, const QString &text);
int wholeNumber(const QString &what, const QString &text, bool negative);
// A mode's start, stop and delay fields (ModeSteps' order) as the window's fields would hold
// them: Count's start a whole number from 0, the others within the bounds the fields keep to
// (refused outside them, where the window would change them), the delay's default, and a stop
// below the start exchanged with it; Animate needs its start and stop. prefix goes before
// "from", "to" and "delay" in refusals.
std::array<QString, 3> animation(const std::array<std::optional<QString>, 3> &given,
                                 ModeInputs::Mode mode, const QString &prefix);

} // namespace ChainInput
