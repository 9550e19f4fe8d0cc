#pragma once

#include "modes/modesteps.h"
#include "session/modeinputs.h"

#include <array>

// The inputs of a mode run without a window: the values it was given, and the counter and
// the code the run has reached so far.
class FixedModeInputs : public ModeInputs
{
public:
    explicit FixedModeInputs(Mode mode, int chainLength, const std::array<QString, 3> &animation,
                             const QString &counter)
        : m_mode(mode), m_chainLength(chainLength), m_animation(animation), m_counter(counter),
          m_code(animation[ModeSteps::kStartField])
    {}

    bool modeOn(Mode mode) const override { return mode == m_mode; }
    int chainLength() const override { return m_chainLength; }
    bool fillsChain() const override { return true; }
    QString startText() const override { return m_animation[ModeSteps::kStartField]; }
    QString stopText() const override { return m_animation[ModeSteps::kStopField]; }
    QString counterText() const override { return m_counter; }
    void setCounterText(const QString &text) override { m_counter = text; }
    QString codeText() const override { return m_code; }
    void showCode(int code) override { m_code = QString::number(code); }

private:
    Mode m_mode;
    int m_chainLength;
    std::array<QString, 3> m_animation;
    QString m_counter;
    QString m_code;
};
