#pragma once

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

// Every action a program can ask of the chain, one row each, read by every front end without a
// window: vornikctl's commands, options, help and completion, vornikd's routes and bodies, its
// MQTT topics, and GET /api/v1/actions. A field names itself once for each of them.
namespace ActionTable {

// The rule a field's value is judged by.
enum class Rule {
    Text,      // any text the text font draws (TextGlyphs::characters)
    Attribute, // an attribute row's characters (ChainInput::attribute)
    Number,    // a whole number from low to high
    Choice,    // one of choices
    Flag,      // given or not
    Code,      // a user-font code (ChainInput::userCode)
    Pattern,   // fifteen "0" or "1" (ChainInput::pattern)
    File,      // a font file, "-" for standard input
};

struct Field
{
    QString name;
    QString key;    // its JSON key ("scroll.rate" inside "scroll"); empty: not in a body
    QString option; // "--rate" on vornikctl's command line, "TEXT" for an argument; empty: none
    QString value;  // what the option's value is called in help ("MS")
    Rule rule = Rule::Text;
    int low = 0;
    int high = 0;
    QStringList choices;
    QString fallback; // the default when not given; empty for none
    QString help;
    bool isArgument() const { return !option.isEmpty() && !option.startsWith('-'); }
};

// One of vornikctl's commands for the action: its words and the fields it takes.
struct Command
{
    QString words; // "message -", "font upload", "count"
    // The fields it takes by name; "!" before one it needs, "=A" after it another value name.
    QStringList fields;
    QString help;
    QString example;
};

struct Action
{
    QString name;
    QString method; // HTTP; empty for an action only the port can do
    QString path;   // "/api/v1/message"; "{id}" stands for a number
    QString topic;  // the MQTT topic under the prefix; empty for none
    QString help;
    QList<Field> fields;
    QList<Command> commands;

    const Field *field(const QString &name) const;
    // "message TEXT [--pad P] [--scroll]": the command's words, arguments and options.
    QString usage(const Command &command) const;
};

const QList<Action> &actions();
const Action &action(const QString &name);
// The action and command vornikctl's words name ("font upload"), or nullptr.
const Action *forCommand(const QString &words, const Command **command = nullptr);

// The table as GET /api/v1/actions serves it.
QJsonArray json();
// vornikctl's options the table names, each once: option, value name, help.
QList<Field> options();

} // namespace ActionTable
