#pragma once

#include "cli/CliWorkerRunner.h"

#include <QString>

class CliInterrupt;

// What every subcommand gets besides its own arguments.
struct CliContext
{
    CliInterrupt &interrupt;
    CliWorkerRunner runner;

    // Writes `text` and a line break to standard output.
    static void printLine(const QString &text);
};
