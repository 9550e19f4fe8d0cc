#include "configfile.h"

#include "core/suggestion.h"

#include <QFile>
#include <QRegularExpression>

ConfigFile::ConfigFile(const QString &path, const QStringList &known) : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = path + ": " + file.errorString();
        return;
    }
    static const QRegularExpression comment(QStringLiteral("\\s#.*$"));
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        line.remove(comment);
        if (line.startsWith('[')) {
            error = refusal(number, "\"" + line
                                            + "\": the file has no sections; put the keys at "
                                              "the top level without this line");
            return;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0) {
            error = refusal(number, "\"" + line + "\" is not \"key = value\"");
            return;
        }
        const QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        if (!known.contains(key)) {
            const QString nearest = Suggestion::nearest(key, known);
            error = refusal(number,
                            "unknown key \"" + key + "\""
                                    + (nearest.isEmpty() ? "; the keys are " + known.join(", ")
                                                         : "; did you mean \"" + nearest + "\"?"));
            return;
        }
        if (m_entries.contains(key)) {
            error = refusal(number, QStringLiteral("%1 is given twice (also on line %2)")
                                            .arg(key)
                                            .arg(m_entries.value(key).line));
            return;
        }
        m_entries.insert(key, {value, number});
    }
}

QString ConfigFile::where(const QString &key) const
{
    return QStringLiteral("%1:%2: %3").arg(m_path).arg(m_entries.value(key).line).arg(key);
}

QString ConfigFile::refusal(int line, const QString &text) const
{
    return QStringLiteral("%1:%2: %3").arg(m_path).arg(line).arg(text);
}
