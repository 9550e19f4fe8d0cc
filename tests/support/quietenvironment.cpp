#include "support/quietenvironment.h"

#include "core/basicutilities.h"

QuietEnvironment::QuietEnvironment()
{
    resetShutdownRequest();
    setDelayScale(0);
    setDelayObserver([this](int pause) { m_pauses.append(pause); });
}

QuietEnvironment::~QuietEnvironment()
{
    setDelayObserver({});
    setDelayScale(1);
    resetShutdownRequest();
}
