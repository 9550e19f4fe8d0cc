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
    m_process.terminate();
    m_process.waitForFinished(kTimeoutMs);
}

bool ServiceProcess::start(const QString &device, const QStringList &extra,
                           const QByteArray &pauseScale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORNIK_PAUSE_SCALE", pauseScale);
    environment.remove("VORNIK_PORT");
    m_process.setProcessEnvironment(environment);
    m_process.start(m_program, QStringList{"--port", device, "--listen", "127.0.0.1:0",
                                           "--token-file", m_tokenFile}
                                       + extra);
    if (!m_process.waitForStarted()
        || !QTest::qWaitFor([this] { return m_process.canReadLine(); }, kTimeoutMs))
        return false;
    static const QRegularExpression listening("^listening on (http://127\\.0\\.0\\.1:\\d+/)$");
    const QRegularExpressionMatch match
            = listening.match(QString::fromUtf8(m_process.readLine()).trimmed());
    m_url = match.captured(1);
    m_token = readFile(m_tokenFile).trimmed();
    return match.hasMatch() && !m_token.isEmpty();
}

ServiceProcess::Answer ServiceProcess::call(const QByteArray &method, const QString &path,
                                            const QByteArray &body)
{
    QNetworkRequest request(QUrl(m_url + path.mid(1)));
    request.setRawHeader("Authorization", "Bearer " + m_token);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    QNetworkReply *reply = m_net.sendCustomRequest(request, method, body);
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
