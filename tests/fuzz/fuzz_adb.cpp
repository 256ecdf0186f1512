// libFuzzer target for the readers of adb's output: the input is what the tool
// printed (standard output or error). Besides memory and undefined-behaviour
// faults it checks that every device read from the list has a serial made only
// of the characters a serial may hold, since that serial is handed back to adb
// as an argument, and that package names are whole trimmed lines' remainders.
#include "android/AdbDevice.h"
#include "android/AdbOutput.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what, const QString &detail)
{
    if (condition)
        return;
    std::fprintf(stderr, "property broken: %s [%s]\n", what, qUtf8Printable(detail));
    std::abort();
}

void checkDevices(const QString &output)
{
    static const QRegularExpression serialPattern(QStringLiteral("^[a-zA-Z0-9_-]+$"));
    for (const AdbDevice &device : parseDeviceList(output)) {
        require(serialPattern.match(device.serial).hasMatch(), "serial characters", device.serial);
        require(serialPattern.match(device.state).hasMatch(), "state characters", device.state);
        require(device.line.contains(device.serial), "serial from its line", device.line);
        require(!(device.isOnline() && device.isUnavailable()), "one state at a time", device.state);
    }
}

void checkPackages(const QString &output)
{
    for (const QString &name : parsePackageList(output)) {
        require(!name.isEmpty() && name == name.trimmed(), "package name trimmed", name);
        require(!name.contains(QLatin1Char('\n')), "package name on one line", name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString output = decodeAdbText(bytes);
    require(!output.contains(QChar(0)), "text ends at the first zero byte", output);
    checkDevices(output);
    checkPackages(output);
    (void)hasSuccessLine(output);
    (void)hasErrorLine(output);
    return 0;
}
