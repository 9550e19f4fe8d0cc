#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Which command of a table a line of words names (a command line, a request), and the answer
// someone needs when it names none: the nearest known command, the option the command does
// not take, the text of several words that wants quotes.
namespace CommandWords {

// A command as its words name it: its word, a second word or none, how many arguments follow
// them, and its usage, which names the options it takes ("write-all TEXT [--fonts F]").
struct Shape
{
    QString command;
    QString subCommand;
    int arguments = 0;
    QString usage;
};

// The command found (its index in the table, -1 for none) and the arguments after its words,
// or why none fits.
struct Found
{
    int index = -1;
    QStringList arguments;
    QString refusal;
};

// options are the names of the options given; those not in general must be named by the
// command's usage.
Found find(const QList<Shape> &table, const QStringList &words, const QStringList &options,
           const QStringList &general);

// A command's entry in a help text: its usage in a column (on a line of its own when longer),
// its description beside it, its example below.
QString helpEntry(const QString &usage, const QString &description, const QString &example);

} // namespace CommandWords
