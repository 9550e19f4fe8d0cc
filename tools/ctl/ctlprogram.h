#pragma once

#include "core/exitstatus.h"

#include "protocol/pacedcommand.h"
#include "serviceclient.h"
#include "session/chaininput.h"

#include <QCommandLineParser>
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

private:
    // What a command does once the event loop runs; none when it is done at once (ports).
    using Plan = std::function<void()>;
    // The one home of a command: its words, how many arguments follow them, its plan and help.
    struct Command
    {
        const char *command;
        const char *subCommand; // nullptr for none
        int arguments;
        std::function<Plan(CtlProgram &)> planner;
        const char *api; // its call through vornikd ("POST message"); nullptr for none
        QString usage;
        QString description;
        QString example;
    };
    static const std::vector<Command> &commands();

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
    Plan planTest();

    QCommandLineParser m_parser;
    QString m_parseError;
    QStringList m_arguments; // those after the command words
    int m_chain = 6;
    int m_wait = 0;
    bool m_dryRun = false;
    std::unique_ptr<FixedModeInputs> m_modeInputs; // read by the runner, which m_line owns
    std::unique_ptr<ChainLine> m_line;
    std::unique_ptr<ServiceClient> m_client; // with --service or VORNIK_SERVICE
};
