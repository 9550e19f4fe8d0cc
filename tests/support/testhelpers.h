#pragma once

#include "protocol/pacedcommand.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

// Helpers below the widgets. Each group lives in a file of the layer it needs (testhelpers.cpp
// QtCore, fontpatterns.cpp the font's constants, onwire.cpp the protocol), so that a test links
// only what its own layer provides.

// Files on disk: the whole content of path ("<unreadable>" when it cannot be read), and
// writing bytes to path (false when that failed).
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

// A different valid 15-segment pattern for every code.
QString distinctPattern(int code);
// The 116 lines Save writes for codes 10 to 125 ("065 " and a pattern), each code carrying
// distinctPattern(code + shift).
QStringList savedFontLines(int shift = 0);
// The frames of commands as the chain receives them, each followed by its pause: "$B7MA\r(5)".
QString onWire(const CommandList &commands);
// lines joined with end, also after the last one.
QByteArray joinLines(const QStringList &lines, const QByteArray &end = "\r\n");

// While it lives, a write that takes a file past `bytes` fails part-way, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_saved = {};
    void (*m_oldHandler)(int) = nullptr;
};
