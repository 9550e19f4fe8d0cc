#pragma once

#include "core/exitstatus.h"

#include "protocol/pacedcommand.h"
#include "serviceclient.h"
#include "session/actiontable.h"
#include "session/chaininput.h"
#include "session/programrules.h"

#include <QCommandLineParser>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ChainLine;
class FixedModeInputs;

// vornikctl: reads the command line, checks its input by the window's field rules, and runs one
// command of its table on the chain from the event loop. run() answers the exit status.
class CtlProgram
{
public:
    explicit CtlProgram(const QStringList &arguments);
    ~CtlProgram();
    int run();

    // The options, then every command of the table with an example.
    QString help() const;
    // A bash completion script: the commands, their options and values, the ports listed.
    QString completion() const;

private:
    // What a command does once the event loop runs; none when it is done at once (ports).
    using Plan = std::function<void()>;
    // A command's words and its plan; the rest (usage, help, fields, its call through vornikd)
    // comes from the action table.
    struct Command
    {
        const char *words;
        std::function<Plan(CtlProgram &)> planner;
    };
    static const std::vector<Command> &commands();
    // The action a command does, and the table's entry of the command; nullptr for ports.
    static const ActionTable::Action *action(const Command &command,
                                             const ActionTable::Command **entry = nullptr);
    static QString usage(const Command &command);

    // The command's fields as the action's JSON body, for the service.
    QJsonObject body() const;
    // Options given that the command would ignore, refused.
    void refuseIgnored() const;
    // Says how far a one-shot command got when a signal cut it short.
    void sayCutShort(int sent, int total) const;

    const Command &find();
    // An option's value, else the environment variable's when it is set.
    std::optional<QString> option(const QString &name, const char *variable = nullptr) const;
    // Sends commands and ends the program.
    Plan sendOnce(const CommandList &commands);
    // A mode with the animation options (Count's start from --from).
    Plan runMode(ModeInputs::Mode mode);

    Plan planPorts();
    Plan planMessage();
    Plan planLines();
    Plan planFontUpload();
    // Font files in other forms: nothing is sent.
    Plan planFontImport();
    Plan planFontExport();
    Plan planTest();

    QCommandLineParser m_parser;
    QList<QCommandLineOption> m_options;
    QString m_parseError;
    QStringList m_arguments; // those after the command words
    const Command *m_command = nullptr;
    int m_chain = ProgramRules::kDefaultChain;
    int m_wait = 0;
    bool m_dryRun = false;
    std::unique_ptr<FixedModeInputs> m_modeInputs; // read by the runner, which m_line owns
    std::unique_ptr<ChainLine> m_line;
    std::unique_ptr<ServiceClient> m_client; // with --service or VORNIK_SERVICE
};
