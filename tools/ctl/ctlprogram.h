#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class ChainDriver;
struct PacedCommand;

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

    int listPorts() const;
    int runOnChain();
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
