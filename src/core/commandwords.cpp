#include "core/commandwords.h"

#include "core/suggestion.h"

#include <QRegularExpression>

namespace CommandWords {

Found find(const QList<Shape> &table, const QStringList &words, const QStringList &options,
           const QStringList &general)
{
    if (words.isEmpty())
        return {-1, {}, QStringLiteral("no command given (see --help)")};
    QStringList known;
    QString usage; // of the command named, when its arguments do not fit
    for (int index = 0; index < table.size(); ++index) {
        const Shape &shape = table.at(index);
        const int skip = shape.subCommand.isEmpty() ? 1 : 2;
        known += shape.command;
        if (words[0] != shape.command || (skip == 2 && words.value(1) != shape.subCommand))
            continue;
        usage = shape.usage;
        if (words.size() - skip != shape.arguments)
            continue;
        for (const QString &name : options) {
            // A command's usage names each option it reads; another one would be ignored.
            if (!general.contains(name)
                && !usage.contains(
                        QRegularExpression("--" + QRegularExpression::escape(name) + "\\b")))
                return {-1,
                        {},
                        QStringLiteral("%1 does not take --%2 (see --help)")
                                .arg(words.mid(0, skip).join(' '), name)};
        }
        return {index, words.mid(skip), QString()};
    }
    // An unquoted text of several words arrives as several arguments.
    if (usage.contains(QLatin1String("TEXT")) && words.size() > 2)
        return {-1,
                {},
                QStringLiteral("%1 takes one TEXT; quote a text of several words: %1 \"%2\"")
                        .arg(words[0], words.mid(1).join(' '))};
    const QString nearest = Suggestion::nearest(words[0], known);
    const QString text = known.contains(words[0]) ? "wrong arguments for \"%1\" (see --help)"
                         : nearest.isEmpty()
                                 ? "unknown command \"%1\" (see --help)"
                                 : "unknown command \"%1\"; did you mean \"" + nearest + "\"?";
    return {-1, {}, text.arg(words[0])};
}

QString helpEntry(const QString &usage, const QString &description, const QString &example)
{
    constexpr int kColumn = 32;
    const QString shown = QStringLiteral("  ") + usage;
    return (shown.size() < kColumn ? shown.leftJustified(kColumn)
                                   : shown + '\n' + QString(kColumn, QLatin1Char(' ')))
           + description + QStringLiteral("\n      ") + example + '\n';
}

} // namespace CommandWords
