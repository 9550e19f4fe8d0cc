#include "ctlprogram.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // A closed standard input would become the first descriptor Qt opens (its event fd), and
    // "message -" would wait on it for ever: an empty input instead, ending at once.
    if (::fcntl(STDIN_FILENO, F_GETFD) < 0)
        ::open("/dev/null", O_RDONLY);
    QCoreApplication app(argc, argv);
    CtlProgram program(QCoreApplication::arguments());
    return program.run();
}
