#include "core/keyverdict.h"

#include "core/basicutilities.h"

KeyVerdict KeyVerdict::editing(int code)
{
    if (code == kCR)
        return enter();
    if (code == kBS || code == kDEL)
        return pass();
    return swallow();
}

KeyVerdict KeyVerdict::digits(int code)
{
    if (code >= '0' && code <= '9')
        return insert(QChar(code));
    return editing(code);
}
