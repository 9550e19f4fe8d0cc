#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

// The outcome of replacing a file: on failure the platform's error, and the old file is untouched.
struct AtomicWriteResult
{
    bool ok = false;
    QFileDevice::FileError error = QFileDevice::NoError;
    QString errorText;
    int systemError = 0; // errno of the failed call, 0 when unknown
};

// Writes content to a new file beside path and then puts it in path's place, so a crash, a full
// disk or a refused write never leaves a truncated file behind. Only a regular file (or none)
// is replaced: a directory, FIFO or device in path's place is a failure. A hard-linked file, or
// one in a directory that refuses new files, is overwritten in place instead.
AtomicWriteResult writeFileAtomically(const QString &path, const QByteArray &content);
