#include "tokenfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace TokenFile {

namespace {

constexpr int kTokenBytes = 32;
constexpr int kMinTokenChars = 16;

} // namespace

QString defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/vornik/vornikd.token");
}

Loaded loadOrCreate(const QString &path)
{
    Loaded loaded;
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            loaded.error = path + ": " + file.errorString();
            return loaded;
        }
        // A token others could read or change is no secret: refused, with the fix.
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                                | QFileDevice::ReadOther | QFileDevice::WriteOther;
        if (file.permissions() & others) {
            loaded.error = path
                           + ": other users can read or change the token file; make it its "
                             "owner's alone: chmod 600 "
                           + path;
            return loaded;
        }
        const QByteArray token = file.readAll().trimmed();
        if (token.size() < kMinTokenChars) {
            loaded.error = QStringLiteral("%1: the token is %2 characters, too easy to guess; "
                                          "give it at least %3, or remove the file and a new "
                                          "one is made")
                                   .arg(path)
                                   .arg(token.size())
                                   .arg(kMinTokenChars);
            return loaded;
        }
        loaded.token = token;
        return loaded;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        loaded.error = path + ": its folder cannot be made";
        return loaded;
    }
    QByteArray random(kTokenBytes, '\0');
    QRandomGenerator::system()->generate(random.begin(), random.end());
    const QByteArray token = random.toHex();
    // Made with the owner's rights alone, so no other user can read it even for a moment.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || file.write(token + '\n') != token.size() + 1 || !file.flush()) {
        loaded.error = path + ": " + file.errorString();
        file.remove();
        return loaded;
    }
    loaded.token = token;
    loaded.created = true;
    return loaded;
}

bool matches(const QByteArray &given, const QByteArray &token)
{
    if (token.isEmpty())
        return false;
    unsigned difference = given.size() == token.size() ? 0U : 1U;
    for (qsizetype i = 0; i < token.size(); ++i) {
        const char other = i < given.size() ? given.at(i) : '\0';
        difference |= static_cast<unsigned char>(other ^ token.at(i));
    }
    return difference == 0;
}

} // namespace TokenFile
