#pragma once

#include "support/quietenvironment.h"

// A QuietEnvironment that also answers every alert with OK and starts with no alert shown,
// for widget tests without a window.
class QuietWidgets : public QuietEnvironment
{
public:
    QuietWidgets();
    ~QuietWidgets();
};
