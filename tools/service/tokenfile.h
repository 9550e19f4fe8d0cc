#pragma once

#include <QByteArray>
#include <QString>

// The API token: kept in a file only its user may read, made with a new random token at first
// start, and compared without an early exit so the time taken tells nothing about it.
namespace TokenFile {

struct Loaded
{
    QByteArray token;
    bool created = false;
    QString error; // why there is no token; empty when there is one
};

// Where vornikd keeps its token unless told otherwise: the user's config folder.
QString defaultPath();
// The token in path, or a new one written there (folders made as needed, the file 0600).
Loaded loadOrCreate(const QString &path);
// Whether given equals token, in a time that depends on their lengths only.
bool matches(const QByteArray &given, const QByteArray &token);

} // namespace TokenFile
