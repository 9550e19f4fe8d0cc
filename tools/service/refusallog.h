#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

class QHostAddress;

// What the HTTP side turned away, told on standard error at most once per interval: how many
// of each kind and from which addresses, so a flood is seen without a line per connection.
class RefusalLog : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 60000;

    explicit RefusalLog(QObject *parent = nullptr);

    // what: the refusal in words, such as "connections past 16 per address".
    void note(const QString &what, const QHostAddress &from);

private:
    void report();

    struct Kind
    {
        int count = 0;
        QMap<QString, int> from;
    };
    QMap<QString, Kind> m_kinds;
    QTimer m_timer;
    QElapsedTimer m_sinceReport;
};
