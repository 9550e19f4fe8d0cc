#pragma once

#include "session/chainstate.h"

#include <QString>
#include <QStringList>

// The command line of vornik-chain: --digits N, --dump and --help.
struct ChainOptions
{
    int digits = ChainState::kDefaultDigits;
    bool dump = false;
    bool help = false;
    // Set when the command line cannot be used; the program prints it and the help, and fails.
    QString error;

    // Reads arguments (without the program name).
    static ChainOptions parse(const QStringList &arguments);
    static QString helpText();
};
