#pragma once

#include "exitstatus.h"

#include "protocol/fieldcheck.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class ChainDriver;
class CtlModeInputs;

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
    using Plan = std::function<void(ChainDriver &)>;
    // The one home of a command: its words, how many arguments follow them, its plan and help.
    struct Command
    {
        const char *command;
        const char *subCommand; // nullptr for none
        int arguments;
        std::function<Plan(CtlProgram &)> planner;
        QString usage;
        QString description;
        QString example;
    };
    static const std::vector<Command> &commands();

    const Command &find();
    QString choosePort() const;
    // The text a field check let through; its refusal, after what and the verdict, ends the run.
    static QString checked(const QString &what, const FieldCheck::Typed &typed,
                           const QString &verdict = {});
    QByteArray message(const QString &what, const QString &text) const;
    QByteArray attribute(int row) const;
    int userCode(const QString &what, const QString &text) const;
    void needWholeNumbers(const QStringList &options, bool negative, const QString &refusal) const;
    Plan runMode(int mode, std::array<QString, 3> animation, const QString &counter = {});

    Plan planPorts();
    Plan planLines();
    Plan planAttributes();
    Plan planFontUpload();
    Plan planTest();

    QCommandLineParser m_parser;
    QString m_parseError;
    QStringList m_arguments; // those after the command words
    int m_chain = 6;
    bool m_dryRun = false;
    std::unique_ptr<CtlModeInputs> m_modeInputs;
    int m_lineNumber = 0;
};
