#include "ctlprogram.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    CtlProgram program(QCoreApplication::arguments());
    return program.run();
}
