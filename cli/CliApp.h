#pragma once

#include "cli/CliCommand.h"

#include <QStringList>

#include <memory>
#include <vector>

struct CliContext;

// ferrywright-cli: finds the subcommand named by the first argument, parses
// its options and runs it, and turns the way it ended into the exit code:
// 0 success, 1 failure (message on standard error), 2 wrong usage (with a
// usage line), 130 interrupted by Ctrl-C.
class CliApp
{
public:
    static constexpr int ExitSuccess = 0;
    static constexpr int ExitFailure = 1;
    static constexpr int ExitUsage = 2;
    static constexpr int ExitInterrupted = 130;

    CliApp();
    ~CliApp();

    // Creates the application object (a GUI-less one, with the off-screen
    // platform for the subcommands that paint) and runs the command line.
    static int main(int argc, char **argv);

    // `arguments` without the program name.
    int run(const QStringList &arguments, CliContext &context) const;

    QString globalHelp() const;

private:
    CliCommand *command(const QString &name) const;
    int dispatch(const QStringList &arguments, CliContext &context) const;
    int runCommand(CliCommand &command, const QStringList &arguments, CliContext &context) const;

    std::vector<std::unique_ptr<CliCommand>> m_commands;
};
