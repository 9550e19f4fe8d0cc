#include "listenaddress.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace ListenAddress {

QString hostForm(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 plain = address.toIPv4Address(&v4);
    if (v4)
        return QHostAddress(plain).toString();
    return "[" + address.toString().toLower() + "]";
}

bool isWildcard(const QHostAddress &address)
{
    return address == QHostAddress::Any || address == QHostAddress::AnyIPv4
           || address == QHostAddress::AnyIPv6;
}

QStringList hostNames(const QHostAddress &address, const QString &name,
                      const QStringList &configured)
{
    QStringList names = configured;
    if (!name.isEmpty())
        names.append(name);
    if (!isWildcard(address)) {
        names.append(hostForm(address));
    } else {
        const QString machine = QHostInfo::localHostName().toLower();
        names.append(machine);
        const QString domain = QHostInfo::localDomainName().toLower();
        if (!domain.isEmpty())
            names.append(machine + '.' + domain);
        for (const QHostAddress &own : QNetworkInterface::allAddresses())
            if (own.scopeId().isEmpty())
                names.append(hostForm(own));
    }
    names.removeDuplicates();
    names.removeAll(QString());
    return names;
}

QString publicHost(const QHostAddress &address, const QString &name)
{
    if (!name.isEmpty())
        return name;
    if (!isWildcard(address))
        return hostForm(address);
    // IPv4 first: the one most likely to be reachable from the rest of the home.
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    for (const bool wantV4 : {true, false}) {
        for (const QHostAddress &candidate : own) {
            if (candidate.isLoopback() || candidate.isLinkLocal()
                || (candidate.protocol() == QAbstractSocket::IPv4Protocol) != wantV4)
                continue;
            if (address == QHostAddress::AnyIPv4 && !wantV4)
                continue;
            return hostForm(candidate);
        }
    }
    return QHostInfo::localHostName().toLower();
}

} // namespace ListenAddress
