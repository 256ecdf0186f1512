// The stand-in for the Android Debug Bridge tool: see `adb help`.
#include "FakeAdb.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    arguments.removeFirst();

    const FakeAdbState state(FakeAdbState::defaultPath());
    const AdbOutcome outcome = FakeAdb(state).run(arguments);
    std::fwrite(outcome.err.constData(), 1, size_t(outcome.err.size()), stderr);
    std::fflush(stderr);
    std::fwrite(outcome.out.constData(), 1, size_t(outcome.out.size()), stdout);
    std::fflush(stdout);
    return outcome.exitCode;
}
