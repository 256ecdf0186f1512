#include "cli/DownloadCommand.h"

#include "cli/CliContext.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliUsageError.h"

#include <QCommandLineParser>
#include <QDir>
#include <QObject>

QString DownloadCommand::synopsis() const
{
    return QStringLiteral("[--serial S | --wifi HOST] [--country MCC]");
}

QString DownloadCommand::summary() const
{
    return QObject::tr("download a phone's messages into its cache");
}

QString DownloadCommand::description() const
{
    return QObject::tr("Connects a phone (by USB through adb: --serial, or the only phone attached; or over WiFi: "
                       "--wifi HOST, HOST:PORT for a launcher on another port), installs and starts the agent when "
                       "needed and downloads its messages into the phone's cache, as the window does when a phone "
                       "appears. Only new records travel. Prints the cache as a SOURCE (cache:IMEI) and its "
                       "folder.");
}

void DownloadCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(QCommandLineOption(QStringLiteral("serial"), QObject::tr("The phone's adb serial."),
                                        QStringLiteral("S")));
    parser.addOption(QCommandLineOption(QStringLiteral("wifi"), QObject::tr("The phone's address on the network."),
                                        QStringLiteral("HOST")));
    parser.addOption(countryOption());
}

int DownloadCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    positionals(parser, 0);
    const QString serial = parser.value(QStringLiteral("serial"));
    const QString host = parser.value(QStringLiteral("wifi"));
    if (!serial.isEmpty() && !host.isEmpty())
        throw CliUsageError(QObject::tr("give --serial or --wifi, not both"), name());
    CliPhoneLink::checkCountry(parser.value(QStringLiteral("country")));
    const CliPhoneLink link(context);
    AndroidDevice device = !host.isEmpty() ? link.connectWifi(host)
                                           : link.connectUsb(serial.isEmpty() ? link.onlyAttachedSerial() : serial);
    CliPhoneLink::chooseCountry(device, parser.value(QStringLiteral("country")));
    const QString folder = link.download(device);
    CliContext::printLine(QStringLiteral("cache:%1\t%2").arg(QDir(folder).dirName(), folder));
    return 0;
}
