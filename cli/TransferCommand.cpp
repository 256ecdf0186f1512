#include "cli/TransferCommand.h"

#include "android/AndroidRestoreSMSThread.h"
#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliProgress.h"
#include "cli/CliUsageError.h"

#include <QCommandLineParser>
#include <QObject>

#include <stdexcept>

QString TransferCommand::synopsis() const
{
    return QStringLiteral("--from SOURCE --to-serial S [--chat ID] [--country MCC]");
}

QString TransferCommand::summary() const
{
    return QObject::tr("send a source's messages to another phone");
}

QString TransferCommand::description() const
{
    return QObject::tr("Sends the messages of SOURCE (all, or one conversation with --chat) to the phone attached "
                       "by USB with serial S. The target phone is connected and downloaded first, as the window "
                       "does, so messages it holds already are not sent again. --country gives the mobile country "
                       "code of a phone that reports none.");
}

void TransferCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(fromOption());
    parser.addOption(QCommandLineOption(QStringLiteral("to-serial"), QObject::tr("The target phone's adb serial."),
                                        QStringLiteral("S")));
    parser.addOption(chatOption());
    parser.addOption(countryOption());
}

int TransferCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    positionals(parser, 0);
    const SourceSpec spec = SourceSpec::parse(requiredValue(parser, QStringLiteral("from")));
    const QString targetSerial = requiredValue(parser, QStringLiteral("to-serial"));
    if (spec.kind == SourceSpec::Kind::Phone && spec.value == targetSerial)
        throw CliUsageError(QObject::tr("the source and the target are the same phone"), name());
    const QString country = parser.value(QStringLiteral("country"));
    CliPhoneLink::checkCountry(country);
    CliMessageSource source(spec, country, context);
    const MsgMessageList messages = source.messages(parser.value(QStringLiteral("chat")));

    const AndroidDevice target = CliPhoneLink(context).connectAndDownload(targetSerial, country);
    if (!source.phoneUid().isEmpty() && source.phoneUid() == target.uid)
        throw std::runtime_error(QObject::tr("The source and the target are the same phone.").toStdString());
    CliProgress progress;
    AndroidRestoreSMSThread worker(target, messages, &progress.reporter());
    CliContext::printLine(context.runner.run(worker, progress));
    return 0;
}
