#include "support/serviceprocess.h"

#include "support/testhelpers.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>

namespace {
constexpr int kTimeoutMs = 20000;
}

QJsonObject ServiceProcess::Answer::json() const
{
    return QJsonDocument::fromJson(body).object();
}

ServiceProcess::ServiceProcess(const QString &program, const QString &tokenFile)
    : m_program(program), m_tokenFile(tokenFile)
{}

ServiceProcess::~ServiceProcess()
{
    stop();
}

bool ServiceProcess::start(const QString &device, const QStringList &extra,
                           const QByteArray &pauseScale)
{
    return startWith(QStringList{"--port", device, "--listen", "127.0.0.1:0", "--token-file",
                                 m_tokenFile}
                             + extra,
                     pauseScale)
           && !m_token.isEmpty();
}

bool ServiceProcess::startWith(const QStringList &arguments, const QByteArray &pauseScale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORNIK_PAUSE_SCALE", pauseScale);
    environment.remove("VORNIK_PORT");
    for (auto variable = m_extraEnv.cbegin(); variable != m_extraEnv.cend(); ++variable)
        environment.insert(variable.key(), variable.value());
    m_process.setProcessEnvironment(environment);
    m_errors.clear();
    m_url.clear();
    m_process.start(m_program, arguments);
    const auto said = [this] {
        return m_process.canReadLine() || m_process.state() == QProcess::NotRunning;
    };
    if (!m_process.waitForStarted() || !QTest::qWaitFor(said, kTimeoutMs))
        return false;
    static const QRegularExpression listening("^listening on (http://\\S+/)$");
    const QRegularExpressionMatch match
            = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_url = match.captured(1);
    m_token = readFile(m_tokenFile).trimmed();
    return match.hasMatch();
}

int ServiceProcess::refused()
{
    const bool ended
            = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(kTimeoutMs);
    return ended ? m_process.exitCode() : -1;
}

void ServiceProcess::stop(bool kill)
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    kill ? m_process.kill() : m_process.terminate();
    m_process.waitForFinished(kTimeoutMs);
}

QByteArray ServiceProcess::errors()
{
    m_errors += m_process.readAllStandardError();
    return m_errors;
}

QNetworkReply *ServiceProcess::send(const QByteArray &method, const QString &path,
                                    const QByteArray &body, const QByteArray &authorization,
                                    const QByteArray &host)
{
    QNetworkRequest request(QUrl(m_url + path.mid(1)));
    if (authorization == "token")
        request.setRawHeader("Authorization", "Bearer " + m_token);
    else if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    if (!host.isEmpty())
        request.setRawHeader("Host", host);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    return m_net.sendCustomRequest(request, method, body);
}

ServiceProcess::Answer ServiceProcess::wait(QNetworkReply *reply)
{
    const bool finished = QTest::qWaitFor(
            [&] {
                if (m_idle)
                    m_idle();
                return reply->isFinished();
            },
            kTimeoutMs);
    if (!finished)
        reply->abort();
    Answer answer{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                  reply->readAll()};
    reply->deleteLater();
    return answer;
}

ServiceProcess::Answer ServiceProcess::call(const QByteArray &method, const QString &path,
                                            const QByteArray &body, const QByteArray &authorization,
                                            const QByteArray &host)
{
    return wait(send(method, path, body, authorization, host));
}
