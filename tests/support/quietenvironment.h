#pragma once

#include <QList>

// Shortens every pause to a yield and clears a shutdown request, for tests without a window;
// restores both on destruction.
class QuietEnvironment
{
public:
    QuietEnvironment();
    ~QuietEnvironment();
    QuietEnvironment(const QuietEnvironment &) = delete;
    QuietEnvironment &operator=(const QuietEnvironment &) = delete;

    // The pauses Delay was asked for.
    const QList<int> &pauses() const { return m_pauses; }
    void clearPauses() { m_pauses.clear(); }

private:
    QList<int> m_pauses;
};
