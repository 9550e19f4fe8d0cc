#include "modes/scrollsteps.h"

namespace ScrollSteps {

int stepsPerPass(const QStringList &text)
{
    return text.isEmpty() ? 0 : static_cast<int>(text.size()) + 1;
}

QStringList window(const QStringList &text, int length, int step)
{
    QStringList shown;
    if (text.isEmpty() || length <= 0 || step < 0) {
        for (int i = 0; i < length; ++i)
            shown.append(QStringLiteral(" "));
        return shown;
    }
    // The text and the blank that separates one pass from the next.
    const QStringList round = text + QStringList{QStringLiteral(" ")};
    for (int i = 0; i < length; ++i)
        shown.append(round.at((step + i) % round.size()));
    return shown;
}

} // namespace ScrollSteps
