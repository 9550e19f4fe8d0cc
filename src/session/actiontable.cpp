#include "session/actiontable.h"

#include "modes/modesteps.h"
#include "protocol/chainprotocol.h"
#include "protocol/digitattributes.h"
#include "session/programrules.h"
#include "session/textglyphs.h"

#include <QJsonObject>

namespace ActionTable {

namespace {

using namespace ProgramRules;

Field text(const QString &option, const QString &help)
{
    return {"text", "text", option, "T", Rule::Text, 0, 0, {}, {}, help};
}

Field attribute(int row, const QString &key, const QString &fallback = {})
{
    const auto &entry = DigitAttributes::table().at(row);
    return {entry.name,
            key,
            QStringLiteral("--") + entry.name,
            QString(QLatin1Char(entry.letter)),
            Rule::Attribute,
            row,
            row,
            {},
            fallback,
            QStringLiteral("%1 per digit").arg(QString::fromUtf8(entry.noun))};
}

Field number(const QString &name, const QString &key, const QString &option, const QString &value,
             int low, int high, const QString &fallback, const QString &help)
{
    return {name, key, option, value, Rule::Number, low, high, {}, fallback, help};
}

QList<Field> scrollFields(const QString &keyPrefix)
{
    return {{"scroll",
             keyPrefix.isEmpty() ? QString() : "scroll",
             "--scroll",
             {},
             Rule::Flag,
             0,
             0,
             {},
             {},
             "scroll a text longer than the chain across it"},
            number("rate", keyPrefix + "rate", "--rate", "MS", kRateMin, kRateMax,
                   QString::number(kRateDefault), "milliseconds per scroll step"),
            number("passes", keyPrefix + "passes", "--passes", "N", 0, kPassesMax, {},
                   "times the text scrolls across; 1 when no limit is given"),
            number("seconds", keyPrefix + "seconds", {}, {}, 0, kSecondsMax, {},
                   "seconds the text scrolls")};
}

Field pad()
{
    return {"pad",
            "pad",
            "--pad",
            "P",
            Rule::Choice,
            0,
            0,
            {"space", "last"},
            "space",
            "fill a short text with spaces or its last character"};
}

Field textCase()
{
    return {"case",
            "case",
            "--case",
            "C",
            Rule::Choice,
            0,
            0,
            TextGlyphs::caseNames(),
            TextGlyphs::caseNames().first(),
            "show lower case as typed, or upper-case the text first"};
}

QList<Action> build()
{
    using namespace DigitAttributes;
    const QString delayHelp = QStringLiteral("milliseconds between steps");
    const Field from = number("from", "from", "--from", "N", 0, 0, {},
                              "the first count, or the first character code");
    const Field code = {"code",
                        {},
                        "CODE",
                        {},
                        Rule::Code,
                        Protocol::kFirstUserCode,
                        Protocol::kLastUserCode,
                        {},
                        {},
                        "a user-font character code"};
    Action message{"message", "POST", "/api/v1/message", "message/set", "show a text", {}, {}};
    message.fields = QList<Field>{text("TEXT", "the text; an empty one blanks the chain"), pad()}
                     + scrollFields("scroll.")
                     + QList<Field>{{"latest",
                                     {},
                                     "--latest",
                                     {},
                                     Rule::Flag,
                                     0,
                                     0,
                                     {},
                                     {},
                                     "show the newest line, drop the backlog"},
                                    textCase()};
    message.commands = {{"message -",
                         {"pad", "latest", "case"},
                         "show each line of standard input as it arrives",
                         "tail -F log | vornikctl message -"},
                        {"message",
                         {"text", "pad", "scroll", "rate", "passes", "case"},
                         "show TEXT; a longer one is cut, or scrolls with --scroll",
                         "vornikctl message HI"}};
    Action attributes{"attributes",
                      "POST",
                      "/api/v1/attributes",
                      "attributes/set",
                      "set attributes per digit, then show the text once when one is given",
                      {},
                      {}};
    attributes.fields = {attribute(Fonts, "fonts"),
                         attribute(Underscore, "underscores"),
                         attribute(Effects, "effects"),
                         attribute(Speeds, "speeds"),
                         text("--message", "the message sent after the attributes"),
                         textCase()};
    attributes.commands = {{"attributes",
                            {"fonts", "underscore", "effects", "speeds", "text", "case"},
                            "each given attribute, then the message once (with --message)",
                            "vornikctl attributes --effects 123456 --message HELLO"}};
    Action writeAll{"write-all",
                    "POST",
                    "/api/v1/attributes",
                    "attributes/set",
                    "fonts, effects and speeds (0 where not given), then the text",
                    {},
                    {}};
    writeAll.fields
            = {text("TEXT", "the text"), attribute(Fonts, "fonts", "0"),
               attribute(Effects, "effects", "0"), attribute(Speeds, "speeds", "0"), textCase()};
    writeAll.commands = {{"write-all",
                          {"text", "fonts", "effects", "speeds", "case"},
                          "fonts, effects, speeds, then the message (\"Write all\")",
                          "vornikctl write-all HELLO --effects 111111"}};
    Action character{"char", {}, {}, {}, "show a character code on the first digit", {}, {}};
    character.fields = {code};
    character.commands = {{"char",
                           {"code"},
                           QStringLiteral("show character CODE (%1-%2) on the first digit")
                                   .arg(Protocol::kFirstUserCode)
                                   .arg(Protocol::kLastUserCode),
                           "vornikctl char 65"}};
    Action blank{"blank", "POST", "/api/v1/blank", "blank", "every digit font 0 and blank", {}, {}};
    blank.commands = {{"blank", {}, "blank the whole chain", "vornikctl blank"}};
    Action notify{"notify",
                  "POST",
                  "/api/v1/notify",
                  "notify",
                  "show a text above the content for a time",
                  {},
                  {}};
    notify.fields = QList<Field>{text({}, "the text"), pad()} + scrollFields({}).mid(1)
                    + QList<Field>{number("priority", "priority", {}, {}, 0, 9, "1",
                                          "a higher one ends a lower one on show"),
                                   textCase()};
    notify.fields[4].help
            = QStringLiteral("seconds it shows (default %1 with no passes)").arg(kNotifySeconds);
    Action dismiss{"dismiss", "DELETE", "/api/v1/notify/{id}", {}, "end a notification", {}, {}};
    dismiss.fields = {number("id", {}, {}, {}, 1, 0x7fffffff, {}, "the notification's id")};
    Action mode{"mode", "PUT", "/api/v1/mode", "mode/set", "run a mode until another action",
                {},     {}};
    mode.fields = {{"mode", "mode", {}, {}, Rule::Choice, 0, 0, modeNames(), {}, "the mode"},
                   from,
                   number("to", "to", "--to", "B", ModeSteps::kStartMin, ModeSteps::kStopMax, {},
                          "the last character code (animate)"),
                   number("delay", "delay", "--delay", "D", kStepDelayMin, ModeSteps::kDelayMax,
                          QString::number(ModeSteps::kDefaultDelay), delayHelp)};
    mode.commands = {{"clock", {}, "the time, until interrupted", "vornikctl clock"},
                     {"date", {}, "the date, until interrupted", "vornikctl date"},
                     {"count",
                      {"from", "delay"},
                      "count up every D ms, until interrupted",
                      "vornikctl count --from 500"},
                     {"animate",
                      {"!from=A", "!to", "delay"},
                      "run through the user font from A to B, until interrupted",
                      QStringLiteral("vornikctl animate --from %1 --to %2 --delay 200")
                              .arg(ModeSteps::kDefaultStart)
                              .arg(ModeSteps::kDefaultStop)},
                     {"test",
                      {},
                      "the segment test until interrupted, then its end commands",
                      "vornikctl test"}};
    Action upload{
            "font upload", "PUT", "/api/v1/font", {}, "the user font to every module", {}, {}};
    upload.fields
            = {{"file", {}, "FILE", {}, Rule::File, 0, 0, {}, {}, "a font file; - reads stdin"},
               attribute(Fonts, {})};
    upload.commands = {{"font upload",
                        {"file", "fonts"},
                        "the user font to every module (\"Commit\"); - reads stdin",
                        "vornikctl font upload myfont.fnt"}};
    Action write{"font write", {}, {}, {}, "one pattern to the first module", {}, {}};
    write.fields = {code,
                    {"pattern",
                     {},
                     "PATTERN",
                     {},
                     Rule::Pattern,
                     0,
                     0,
                     {},
                     {},
                     "fifteen segments, each 0 or 1"}};
    write.commands = {{"font write",
                       {"code", "pattern"},
                       "one pattern to the first module (\"Write\")",
                       "vornikctl font write 65 111111000000000"}};
    const auto file = [](const QString &name, const QString &argument, const QString &help) {
        return Field{name, {}, argument, {}, Rule::File, 0, 0, {}, {}, help};
    };
    Action import{"font import", {}, {}, {}, "a font in another form to a .fnt file", {}, {}};
    import.fields = {file("source", "FILE", "a C array or a JSON object; - reads stdin"),
                     file("output", "OUT.fnt", "the font file written")};
    import.commands
            = {{ "font import",
                 {"source", "output"},
                 "a C array or JSON font (over the default font) to a .fnt file",
                 "vornikctl font import font14.h myfont.fnt" }};
    Action exportFont{"font export", {}, {}, {}, "a .fnt file in another form", {}, {}};
    exportFont.fields = {file("file", "FILE.fnt", "the font file read"),
                         {"format",
                          {},
                          "--format",
                          "F",
                          Rule::Choice,
                          0,
                          0,
                          {"c", "json"},
                          "c",
                          "the form written"},
                         {"name",
                          {},
                          "--name",
                          "NAME",
                          Rule::Text,
                          0,
                          0,
                          {},
                          "vornik_font",
                          "the C array's name"}};
    exportFont.commands = {{"font export",
                            {"file", "format", "name"},
                            "a .fnt file as a C array or JSON on standard output",
                            "vornikctl font export myfont.fnt --format json"}};
    return {message, attributes, writeAll, character, blank,  notify,
            dismiss, mode,       upload,   write,     import, exportFont};
}

QString ruleName(Rule rule)
{
    static const char *const names[]
            = {"text", "attribute", "number", "choice", "flag", "code", "pattern", "file"};
    return QLatin1String(names[static_cast<int>(rule)]);
}

} // namespace

const Field *Action::field(const QString &wanted) const
{
    const QString name = QString(wanted.section('=', 0, 0)).remove('!');
    for (const Field &field : fields)
        if (field.name == name)
            return &field;
    return nullptr;
}

QString Action::usage(const Command &command) const
{
    QString usage = command.words;
    for (const QString &spec : command.fields) {
        const Field *given = field(spec);
        const QString value = spec.contains('=') ? spec.section('=', 1) : given->value;
        const QString shown = given->option + (value.isEmpty() ? QString() : ' ' + value);
        if (given->isArgument())
            usage += ' ' + given->option;
        else if (!given->option.isEmpty())
            usage += ' ' + (spec.startsWith('!') ? shown : '[' + shown + ']');
    }
    return usage;
}

const QList<Action> &actions()
{
    static const QList<Action> table = build();
    return table;
}

const Action &action(const QString &name)
{
    for (const Action &action : actions())
        if (action.name == name)
            return action;
    Q_ASSERT_X(false, "ActionTable::action", qPrintable(name));
    return actions().first();
}

const Action *forCommand(const QString &words, const Command **command)
{
    for (const Action &action : actions())
        for (const Command &each : action.commands)
            if (each.words == words) {
                if (command)
                    *command = &each;
                return &action;
            }
    return nullptr;
}

QJsonArray json()
{
    QJsonArray rows;
    for (const Action &action : actions()) {
        QJsonArray fields;
        for (const Field &field : action.fields) {
            QJsonObject row{
                    {"name", field.name}, {"rule", ruleName(field.rule)}, {"help", field.help}};
            if (!field.key.isEmpty())
                row.insert("key", field.key);
            if (!field.option.isEmpty())
                row.insert("option", field.option);
            if (field.high > field.low)
                row.insert("range", QJsonArray{field.low, field.high});
            if (!field.choices.isEmpty())
                row.insert("choices", QJsonArray::fromStringList(field.choices));
            if (!field.fallback.isEmpty())
                row.insert("default", field.fallback);
            fields.append(row);
        }
        QJsonArray commands;
        for (const Command &command : action.commands)
            commands.append(QJsonObject{{"usage", action.usage(command)},
                                        {"help", command.help},
                                        {"example", command.example}});
        QJsonObject row{{"name", action.name},
                        {"help", action.help},
                        {"fields", fields},
                        {"commands", commands}};
        if (!action.method.isEmpty())
            row.insert("http", action.method + ' ' + action.path);
        if (!action.topic.isEmpty())
            row.insert("mqtt", action.topic);
        rows.append(row);
    }
    return rows;
}

QList<Field> options()
{
    QList<Field> options;
    QStringList seen;
    for (const Action &action : actions())
        for (const Command &command : action.commands)
            for (const QString &name : command.fields) {
                const Field *field = action.field(name);
                if (field->option.startsWith('-') && !seen.contains(field->option)) {
                    seen += field->option;
                    options += *field;
                }
            }
    return options;
}

} // namespace ActionTable
