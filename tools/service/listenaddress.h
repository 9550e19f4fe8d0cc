#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>

// Where vornikd listens as other machines see it: the names a Host header may give (so the
// address a client reaches it by is accepted, while a page of another site, resolved to it by
// DNS rebinding, is not), and the URL to print and to give Home Assistant.
namespace ListenAddress {

// address in a URL's or a Host header's form: IPv6 in brackets.
QString hostForm(const QHostAddress &address);
// Whether address listens on every interface.
bool isWildcard(const QHostAddress &address);
// The Host names accepted besides localhost and the loopback ones: the configured ones, the
// name and address listened on, and for a wildcard the machine's own names and addresses.
QStringList hostNames(const QHostAddress &address, const QString &name,
                      const QStringList &configured);
// The host of a URL another machine can open: the address listened on, or for a wildcard the
// first address of the machine that is not a loopback or link-local one (its name when it has
// none).
QString publicHost(const QHostAddress &address, const QString &name);

} // namespace ListenAddress
