#include "ctlprogram.h"

#include "core/basicutilities.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    InitConstants();
    CtlProgram program(QCoreApplication::arguments());
    return program.run();
}
