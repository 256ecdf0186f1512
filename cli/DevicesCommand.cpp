#include "cli/DevicesCommand.h"

#include "cli/CliContext.h"
#include "cli/CliPhoneLink.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>

QString DevicesCommand::synopsis() const
{
    return QStringLiteral("[--json]");
}

QString DevicesCommand::summary() const
{
    return QObject::tr("phones adb lists, with their state");
}

QString DevicesCommand::description() const
{
    return QObject::tr("Lists the phones the adb tool (the first 'adb' on PATH) sees, one per line: the serial, "
                       "a tab, and the state adb gives it (device: ready; unauthorized: allow USB debugging on "
                       "the phone; offline).");
}

void DevicesCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(jsonOption());
}

int DevicesCommand::run(const QCommandLineParser &parser, CliContext &)
{
    positionals(parser, 0);
    const QList<AdbDevice> devices = CliPhoneLink::attachedDevices();
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (const AdbDevice &device : devices)
            list.append(QJsonObject{{"serial", device.serial}, {"state", device.state}});
        CliContext::printLine(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
        return 0;
    }
    for (const AdbDevice &device : devices)
        CliContext::printLine(device.serial + QLatin1Char('\t') + device.state);
    return 0;
}
