#include "core/suggestion.h"

#include <QList>

#include <algorithm>
#include <numeric>

namespace Suggestion {

int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min(
                    {above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.last();
}

QString nearest(const QString &word, const QStringList &known, int maxEdits)
{
    const auto best = std::min_element(known.cbegin(), known.cend(), [&](auto &a, auto &b) {
        return editDistance(word, a) < editDistance(word, b);
    });
    return best != known.cend() && editDistance(word, *best) <= maxEdits ? *best : QString();
}

} // namespace Suggestion
