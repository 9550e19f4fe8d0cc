#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// A vornikd process beside a test: started on a device with a free loopback port, its address
// and token, and one HTTP call at a time to its API.
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

    // vornikd on device with pauses scaled by pauseScale and the extra options; false when it
    // did not say where it listens.
    bool start(const QString &device, const QStringList &extra = {},
               const QByteArray &pauseScale = "0.02");
    QString url() const { return m_url; }
    QString tokenFile() const { return m_tokenFile; }

    // One call with the token; while it waits, idle runs (a reader of the line, say).
    Answer call(const QByteArray &method, const QString &path, const QByteArray &body = {});
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }

private:
    QString m_program;
    QString m_tokenFile;
    QProcess m_process;
    QString m_url;
    QByteArray m_token;
    QNetworkAccessManager m_net;
    std::function<void()> m_idle;
};
