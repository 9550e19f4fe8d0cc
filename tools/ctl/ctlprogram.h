#pragma once

#include "protocol/pacedcommand.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class ChainDriver;

// vornikctl: reads the command line, checks its input by the window's field rules, and runs
// one command against the chain. run() answers the exit status.
class CtlProgram
{
public:
    enum Status { Done = 0, InputError = 2, PortError = 3, FileError = 4, LineFailed = 5 };

    explicit CtlProgram(const QStringList &arguments);
    int run();

    static QString usage();

private:
    bool parse(const QStringList &arguments);
    int fail(Status status, const QString &message) const;
    QString option(const QString &name, const QString &fallback = QString()) const;
    // The text of an input field with the characters it accepts, or a refusal naming the
    // first character it does not accept and its position.
    QString checked(const QString &what, const QString &text,
                    const std::function<bool(int code, QChar &entered)> &accepts,
                    QString &refusal) const;
    QString checkedAttribute(const QString &name, QString &refusal) const;
    QString choosePort(QString &refusal) const;

    // What one command does: the commands it sends at once, or the loop it runs until
    // interrupted, or why it is refused.
    struct Plan
    {
        CommandList commands;
        bool progress = false;
        std::function<int(ChainDriver &)> repeating;
        QString refusal;
        Status failure = InputError;
    };

    int listPorts() const;
    int runOnChain();
    Plan plan();
    Plan planMessage();
    Plan planAttributes();
    Plan planWriteAll();
    Plan planCharacter();
    Plan planBlank();
    Plan planFontUpload();
    Plan planFontWrite();
    Plan planClock();
    Plan planCount();
    Plan planAnimate();
    Plan planTest();
    QString checkedMessage(const QString &what, const QString &text, QString &refusal) const;
    int sendMessagesFromInput(ChainDriver &driver);
    int repeat(ChainDriver &driver, const std::function<int()> &step);

    QString m_port;
    int m_chain = 6;
    bool m_dryRun = false;
    QString m_command;
    QStringList m_positional;
    QMap<QString, QString> m_options;
    QString m_parseError;
    bool m_help = false;
    bool m_version = false;
};
