#pragma once

#include "session/actiontable.h"

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <optional>

// A program's way to the chain while vornikd owns the port: one API call at a time, waited for
// in the event loop, each failure said in a person's words (the service's own text for input it
// refuses) and answered as vornikctl's exit status. A dry run prints each request instead.
class ServiceClient : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        int status = 0; // the HTTP status; 0 when none came
        QJsonObject body;
        QString error; // why the call failed; empty when it did not
        bool ok() const { return status / 100 == 2; }
    };
    using Printer = std::function<void(const QString &line)>;
    using Progress = std::function<void(int sent, int total, double secondsLeft)>;

    // action is the one a command does (its call from the table); nullptr for none.
    explicit ServiceClient(const QString &url, const ActionTable::Action *action,
                           QObject *parent = nullptr);

    // Throws ChainInput::Refusal unless the command (words name it) can go through the
    // service: the address is http or https, the action has a call, and (unless a dry run) a
    // token from VORNIK_TOKEN, else tokenFile, else vornikd's own.
    void check(const QString &words, bool dryRun, const std::optional<QString> &tokenFile);
    bool runsMode() const { return m_action && m_action->name == QLatin1String("mode"); }
    // Each request as a line "METHOD PATH BODY" to print, none sent.
    void setDryRun(Printer print) { m_dryRun = std::move(print); }

    Answer call(const QByteArray &method, const QString &path, const QByteArray &body = {});
    // The command's call with fields as its JSON body, or else file; answers the exit status
    // (said when it is not Exit::Done).
    int send(const QJsonObject &fields, const QByteArray &file = {});
    // PUT mode with the mode's from, to and delay as given.
    int startMode(const QString &mode, const std::array<std::optional<QString>, 3> &fields);
    // Each line of a feed as the command's call, its text with the fields given; a failed one
    // answers false and ends the feed through failed with the exit status.
    std::function<bool(const QString &text)> messages(const QJsonObject &fields,
                                                      std::function<void(int status)> failed);
    // Polls the state until the service's message no longer scrolls (a service that does not
    // say counts as not scrolling); answers the exit status.
    int waitWhileScrolling();
    // PUT font with file, then its job followed to its end with progress on each change.
    int upload(const QByteArray &file, const Progress &progress);

private:
    bool wait(QObject *sender, int timeoutMs);
    int said(const Answer &answer);

    QUrl m_url;
    const ActionTable::Action *m_action;
    QByteArray m_token;
    QNetworkAccessManager m_net;
    Printer m_dryRun;
};
