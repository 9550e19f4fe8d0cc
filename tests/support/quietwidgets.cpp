#include "support/quietwidgets.h"

#include "widgets/alert.h"

QuietWidgets::QuietWidgets()
{
    setAlertResponder([](const AlertRecord &) { return true; });
    clearAlertHistory();
}

QuietWidgets::~QuietWidgets()
{
    setAlertResponder({});
}
