#include "core/consoleoutput.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ConsoleOutput {

namespace {

bool lineOpen = false; // a progress line waits for its end on standard error

} // namespace

void say(const QString &text)
{
    const QByteArray line = (lineOpen ? "\n" : "")
                            + QCoreApplication::applicationName().toLocal8Bit() + ": "
                            + text.toLocal8Bit() + '\n';
    if (text.isEmpty())
        return;
    lineOpen = false;
    std::fwrite(line.constData(), 1, line.size(), stderr);
}

bool print(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    say(QStringLiteral("cannot write the output: ") + std::strerror(errno));
    return false;
}

void redraw(const QString &line, bool open)
{
    std::fputs(qPrintable('\r' + line + (open ? "" : "\n")), stderr);
    lineOpen = open;
}

} // namespace ConsoleOutput
