#pragma once

#include <QString>

#include <memory>

class QFile;
class QObject;

// The file a log pane appends its lines to ("Log to File"). A failed write closes it, and the
// alert saying why waits for the append to be done.
class LogFileAppender
{
public:
    // The alert of a failed write goes with owner.
    explicit LogFileAppender(QObject *owner);
    ~LogFileAppender();

    bool isOpen() const { return m_file != nullptr; }
    // The name of the open file, without its folder.
    QString fileName() const;
    // Asks for a file and opens it to append to; what is no regular file, or does not open, is
    // refused with an alert. False when no file was opened.
    bool openChosen();
    // Opens path the same way, without asking.
    bool open(const QString &path);
    // The open file's path; empty when none is open.
    QString path() const;
    // Appends text and CR LF; false when the write failed and the file is closed.
    bool append(const QString &text);
    void close();

    // "Save Log As": asks for a file and writes text to it, replacing an old file only when
    // complete; a failed write is an alert.
    static void saveAs(const QString &text);

private:
    QObject *m_owner;
    std::unique_ptr<QFile> m_file;
};
