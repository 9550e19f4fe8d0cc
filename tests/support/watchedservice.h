#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// vornikd beside a long test: started again after it ends, signalled, and measured from /proc.
class WatchedService
{
public:
    explicit WatchedService(const QString &program, const QString &tokenFile);
    ~WatchedService();

    // Starts it with arguments (plus a free loopback port and the token file); false when it
    // did not say where it listens.
    bool start(const QStringList &arguments);
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    void signal(int signal);
    // How often it said text on its standard error since it started.
    int saidCount(const QByteArray &text);
    QString url() const { return m_url; }
    QByteArray token() const { return m_token; }
    QString tokenFile() const { return m_tokenFile; }
    quint16 port() const { return m_port; }
    // VmRSS in kB and the count of open descriptors; -1 when it does not run.
    qint64 residentKb() const;
    int openDescriptors() const;

private:
    QString m_program;
    QString m_tokenFile;
    QProcess m_process;
    QByteArray m_said;
    QString m_url;
    QByteArray m_token;
    quint16 m_port = 0;
};
