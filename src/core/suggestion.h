#pragma once

#include <QString>
#include <QStringList>

// Which known word someone probably meant by a word they mistyped, for "did you mean" answers.
namespace Suggestion {

// The insertions, deletions and replacements that turn a into b.
int editDistance(const QString &a, const QString &b);

// The known word fewest edits away from word (the first of equals), when it is at most
// maxEdits away; else an empty text.
QString nearest(const QString &word, const QStringList &known, int maxEdits = 2);

} // namespace Suggestion
