#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair in raw mode: the program opens slavePath(), the test plays the far end.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // The far end's descriptor, non-blocking, for writes and readers of the test's own.
    int masterFd() const { return m_master; }

    // Reads what the program wrote until `count` bytes arrived or timeoutMs passed.
    QByteArray readFromProgram(int count, int timeoutMs);
    // Everything the program wrote that is waiting now.
    QByteArray readAvailable();
    // Everything up to and with end, or all that came by timeoutMs; the rest is kept for the
    // next call.
    QByteArray readUntil(const QByteArray &end, int timeoutMs);
    // The far end hangs up.
    void closeMaster();
    // The far end makes the program's read of its line end (the end-of-file character of a line
    // in canonical mode): the line fails while the pseudo-terminal stays the same device.
    bool endProgramRead();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_pending; // read past the end readUntil was asked for
};
