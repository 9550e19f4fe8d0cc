#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

class QNetworkReply;

// A vornikd process beside a test: started on a device or with options of the test's own, its
// address, token and standard error, and HTTP calls to its API.
class ServiceProcess
{
public:
    struct Answer
    {
        int status = 0; // 0: no answer in time
        QByteArray body;
        QJsonObject json() const;
    };

    explicit ServiceProcess(const QString &program, const QString &tokenFile);
    ~ServiceProcess();

    // vornikd on device, on a free loopback port, with pauses scaled by pauseScale and the extra
    // options; false when it did not say where it listens or made no token.
    bool start(const QString &device, const QStringList &extra = {},
               const QByteArray &pauseScale = "0.02");
    // vornikd with these options alone, pauses scaled by 0.02; false when it did not say where
    // it listens (refused() then tells its exit status).
    bool startWith(const QStringList &arguments, const QByteArray &pauseScale = "0.02");
    // The exit status of a start that was refused; -1 when it did not end.
    int refused();
    // Ends it (SIGTERM, or SIGKILL when kill) and waits for its end.
    void stop(bool kill = false);
    // An environment variable for the starts that follow.
    void setEnvironment(const QString &name, const QString &value) { m_extraEnv[name] = value; }

    QString url() const { return m_url; }
    QString tokenFile() const { return m_tokenFile; }
    QByteArray token() const { return m_token; }
    qint64 processId() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // Its standard error since the last start.
    QByteArray errors();

    // A request sent without waiting; authorization "token" sends the token's, "" none.
    QNetworkReply *send(const QByteArray &method, const QString &path, const QByteArray &body = {},
                        const QByteArray &authorization = "token", const QByteArray &host = {});
    // The reply's answer once it came; while it waits, idle runs (a reader of the line, say).
    Answer wait(QNetworkReply *reply);
    Answer call(const QByteArray &method, const QString &path, const QByteArray &body = {},
                const QByteArray &authorization = "token", const QByteArray &host = {});
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }

private:
    QString m_program;
    QString m_tokenFile;
    QHash<QString, QString> m_extraEnv;
    QProcess m_process;
    QString m_url;
    QByteArray m_token;
    QByteArray m_errors;
    QNetworkAccessManager m_net;
    std::function<void()> m_idle;
};
