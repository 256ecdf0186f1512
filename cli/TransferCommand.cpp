#include "cli/TransferCommand.h"

#include "android/AndroidRestoreSMSThread.h"
#include "cli/CliApp.h"
#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliProgress.h"
#include "cli/CliUsageError.h"

#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MessageChunkReader.h"
#include "store/MsgHandle.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>

#include <memory>
#include <stdexcept>

QString TransferCommand::synopsis() const
{
    return QStringLiteral("--from SOURCE --to-serial S [--chat ID] [--country MCC] [--json]");
}

QString TransferCommand::summary() const
{
    return QObject::tr("send a source's messages to another phone");
}

QString TransferCommand::description() const
{
    return QObject::tr("Sends the messages of SOURCE (all, or one conversation with --chat) to the phone attached "
                       "by USB with serial S. The target phone is downloaded first, as the window does, so messages "
                       "it holds already are not sent again, and once more afterwards to check that every message "
                       "is on it: the last line says how many are, and the exit code is 1 when any is missing "
                       "or the phone could not be checked (the first 1,000 missing are listed, also with "
                       "--json). --country gives the mobile country code of a phone that reports none.");
}

void TransferCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(fromOption());
    parser.addOption(QCommandLineOption(QStringLiteral("to-serial"), QObject::tr("The target phone's adb serial."),
                                        QStringLiteral("S")));
    parser.addOption(chatOption());
    parser.addOption(countryOption());
    parser.addOption(jsonOption());
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
    // A conversation is loaded; all of a source is read as it goes.
    const QString chat = parser.value(QStringLiteral("chat"));
    const MsgMessageList messages = chat.isEmpty() ? MsgMessageList() : source.messages(chat);

    // The transfer downloads the target itself, before and after sending.
    const CliPhoneLink link(context);
    AndroidDevice target = link.connectUsb(targetSerial);
    CliPhoneLink::chooseCountry(target, country);
    if (!source.phoneUid().isEmpty() && source.phoneUid() == target.uid)
        throw std::runtime_error(QObject::tr("The source and the target are the same phone.").toStdString());
    CliProgress progress;
    const std::unique_ptr<AndroidRestoreSMSThread> worker = chat.isEmpty()
        ? std::make_unique<AndroidRestoreSMSThread>(target, source.reader(), &progress.reporter())
        : std::make_unique<AndroidRestoreSMSThread>(target, messages, &progress.reporter());
    context.runner.run(*worker, progress);
    if (parser.isSet(QStringLiteral("json")))
        printJson(*worker);
    else
        printSummary(*worker);
    const bool proven = worker->checked() && worker->missingCount() == 0;
    return proven ? CliApp::ExitSuccess : CliApp::ExitFailure;
}

void TransferCommand::printSummary(const AndroidRestoreSMSThread &worker)
{
    for (const AndroidRestoreSMSThread::MissingMessage &message : worker.missingMessages())
        CliContext::printLine(QObject::tr("missing: %1").arg(AndroidRestoreSMSThread::describe(message)));
    if (worker.missingCount() > worker.missingMessages().size()) {
        CliContext::printLine(QObject::tr("missing: %1 more")
                                  .arg(worker.missingCount() - worker.missingMessages().size()));
    }
    CliContext::printLine(CliProgress::plainText(worker.resultText()));
}

void TransferCommand::printJson(const AndroidRestoreSMSThread &worker)
{
    QJsonArray missing;
    for (const AndroidRestoreSMSThread::MissingMessage &message : worker.missingMessages()) {
        missing.append(QJsonObject{{"date", appleTimeToDateTime(message.date).toUTC().toString(Qt::ISODate)},
                                   {"fromMe", message.fromMe},
                                   {"number", message.number},
                                   {"text", message.text},
                                   {"subject", message.subject},
                                   {"attachments", message.attachments}});
    }
    const QJsonObject result{{"messages", worker.keptCount()},
                             {"sent", worker.deliveredCount()},
                             {"alreadyOnPhone", worker.alreadySentCount()},
                             {"skipped", worker.skippedCount()},
                             {"checked", worker.checked()},
                             {"onPhone", worker.checked() ? worker.keptCount() - worker.missingCount() : -1},
                             {"missingCount", worker.missingCount()},
                             {"missing", missing},
                             {"summary", CliProgress::plainText(worker.resultText())}};
    CliContext::printLine(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)).trimmed());
}
