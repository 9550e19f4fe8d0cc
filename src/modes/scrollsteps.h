#pragma once

#include <QStringList>

// A text longer than the chain, moved across it one character per step: the window each step
// shows and how many steps make a pass. The text runs round with one blank between its end
// and its start again.
namespace ScrollSteps {

// Steps in one pass of text (one entry a character): every start position once.
int stepsPerPass(const QStringList &text);
// The length characters shown at step (counted from 0 over all passes).
QStringList window(const QStringList &text, int length, int step);

} // namespace ScrollSteps
