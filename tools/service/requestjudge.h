#pragma once

#include "apirequest.h"

#include "session/programrules.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Every request to vornikd judged before anything runs, from its method, path, two headers and
// body alone: the Host header, the token, the route, the body's size and JSON, and each value
// by the window's field rules. Pure, so it can be fuzzed.
namespace RequestJudge {

inline constexpr qsizetype kMaxBody = 64 * 1024;

struct Context
{
    QByteArray token;
    QStringList hosts; // names allowed besides localhost, 127.0.0.1 and [::1]
    int chain = ProgramRules::kDefaultChain;
};

struct Incoming
{
    QByteArray method;
    QByteArray path; // with the query, as on the request line
    QByteArray host;
    QByteArray authorization;
    QByteArray body;
};

struct Verdict
{
    int status = 200; // the refusal's HTTP status when error is set
    QString error;
    // Headers the refusal's answer carries (WWW-Authenticate on 401, Allow on 405).
    QList<QPair<QByteArray, QByteArray>> headers;
    ApiRequest request;
    bool ok() const { return error.isEmpty(); }
};

Verdict judge(const Incoming &incoming, const Context &context);
// An action's body alone (Message, Attributes, Notify, Mode, Font, Blank), as the call of its
// kind would judge it, for requests that come another way than HTTP.
Verdict judgeAction(ApiRequest::Kind kind, const QByteArray &body, const Context &context);

// Whether a Host header names this service (with or without its port).
bool hostAllowed(const QByteArray &host, const QStringList &hosts);

} // namespace RequestJudge
