#pragma once

#include <QString>

// What the mode runner reads afresh at every tick, and where it shows a step: the window's
// fields, or the values a command line was given.
class ModeInputs
{
public:
    enum Mode { Animate = 0, Time = 1, Date = 2, Count = 3 };
    static constexpr int kModes = 4;

    virtual ~ModeInputs() = default;

    virtual bool modeOn(Mode mode) const = 0;
    virtual int chainLength() const = 0;
    // A program's frames cover the whole chain: the time and the date are filled with spaces
    // to its length. The window sends their six digits alone.
    virtual bool fillsChain() const { return false; }
    // The start and stop codes of Animate, as their fields hold them.
    virtual QString startText() const = 0;
    virtual QString stopText() const = 0;
    // The counter of Count, and its next value after a step.
    virtual QString counterText() const = 0;
    virtual void setCounterText(const QString &text) = 0;
    // The user-font code Animate showed last, and the code it is about to send.
    virtual QString codeText() const = 0;
    virtual void showCode(int code) = 0;
    // Runs before each command of an Animate step.
    virtual void beforeAnimateCommand() {}
    // The line failed while mode was on: a front end that shows the mode turns it off here.
    virtual void stopMode(Mode /*mode*/) {}
};
