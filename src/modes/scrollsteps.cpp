#include "modes/scrollsteps.h"

namespace ScrollSteps {

namespace {

// The text and the blank that separates one pass from the next.
QString loop(const QString &text)
{
    return text + QLatin1Char(' ');
}

} // namespace

int stepsPerPass(const QString &text)
{
    return text.isEmpty() ? 0 : static_cast<int>(loop(text).size());
}

QString window(const QString &text, int length, int step)
{
    if (text.isEmpty() || length <= 0 || step < 0)
        return QString(qMax(0, length), QLatin1Char(' '));
    const QString round = loop(text);
    QString shown;
    for (int i = 0; i < length; ++i)
        shown += round.at((step + i) % round.size());
    return shown;
}

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
    const QStringList round = text + QStringList{QStringLiteral(" ")};
    for (int i = 0; i < length; ++i)
        shown.append(round.at((step + i) % round.size()));
    return shown;
}

} // namespace ScrollSteps
