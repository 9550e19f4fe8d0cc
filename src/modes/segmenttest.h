#pragma once

#include "protocol/pacedcommand.h"

#include <QString>

// The segment test's state machine: the Start and Stop requests, whether a run is under way,
// the current step, and what each tick of the test timer shows and sends.
class SegmentTest
{
public:
    static constexpr int kSteps = 16;
    // The test advances one step every tick, in milliseconds.
    static constexpr int kTickInterval = 250;

    // What one tick does. With no port open the field is left as it is (showChanged false).
    struct Tick
    {
        bool showChanged = false;
        bool running = false; // light green when true, light red when false
        QString pattern;      // the text of the step pattern field
        CommandList commands;
        // The pattern is shown as commands[showAt], the step's write, goes out; at once when
        // there is no such command.
        int showAt = 0;
    };

    // The pattern of step k: k "1" followed by 15 - k "0".
    static QString stepPattern(int step);

    // The blanks before and after a run cover the whole chain, as a program sends them, instead
    // of the six the window sends.
    void setWholeChain(bool whole) { m_wholeChain = whole; }
    // What a run sends when it ends (and before it starts): every digit to font 0, then blanks.
    CommandList endCommands(int chainLength) const;

    void requestStart() { m_testrequest = true; }
    void requestStop() { m_testrequest = false; }

    // One tick of the test timer on a chain of chainLength digits.
    Tick tick(bool portopen, int chainLength);

    bool testrequest() const { return m_testrequest; }
    bool testactive() const { return m_testactive; }
    int teststep() const { return m_teststep; }

private:
    bool m_wholeChain = false;
    bool m_testrequest = false;
    bool m_testactive = false;
    int m_teststep = 0;
};
