#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// vornikd's configuration file: "key = value" lines, "#" and ";" comment lines, and a comment
// after a value from a "#" that follows a space. Every key must be a known one, given once,
// outside any section; a refusal names the file, the line and the key, and the known key
// nearest a misspelt one.
class ConfigFile
{
public:
    // Reads path; error says what is wrong with it, empty when nothing is.
    ConfigFile(const QString &path, const QStringList &known);

    QString error;

    bool contains(const QString &key) const { return m_entries.contains(key); }
    QString value(const QString &key) const { return m_entries.value(key).value; }
    // "FILE:LINE: key", where a refusal of the key's value starts.
    QString where(const QString &key) const;

private:
    struct Entry
    {
        QString value;
        int line = 0;
    };
    QString refusal(int line, const QString &text) const;

    QString m_path;
    QHash<QString, Entry> m_entries;
};
