#pragma once

#include <QByteArray>
#include <QString>

// A command-line program's output: its results on standard output, where a failed write (a
// full disk, a closed pipe) is said, and its notes on standard error, each line after the
// program's name (the application's name), on a line of its own even while a progress line
// is drawn.
namespace ConsoleOutput {

// "program: text" on standard error; nothing for an empty text.
void say(const QString &text);
// bytes on standard output, flushed; false (and said) when they could not be written.
bool print(const QByteArray &bytes);
// line drawn over the last one on standard error; open leaves it without its newline, so the
// next one draws over it.
void redraw(const QString &line, bool open);

} // namespace ConsoleOutput
