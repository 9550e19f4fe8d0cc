#pragma once

#include <QObject>
#include <QPointer>

// Marks a routine of owner as running until the scope ends, however it ends: by return, by an
// exception, or by the owner being deleted while the routine waited (the flag is then gone too
// and is left alone).
class ReentryGuard
{
public:
    ReentryGuard(QObject *owner, bool &running) : m_owner(owner), m_running(&running)
    {
        running = true;
    }
    ~ReentryGuard()
    {
        if (m_owner)
            *m_running = false;
    }
    ReentryGuard(const ReentryGuard &) = delete;
    ReentryGuard &operator=(const ReentryGuard &) = delete;

private:
    QPointer<QObject> m_owner;
    bool *m_running = nullptr;
};
