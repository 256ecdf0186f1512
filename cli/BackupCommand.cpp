#include "cli/BackupCommand.h"

#include "app/AppFolders.h"
#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliProgress.h"
#include "cli/CliUsageError.h"
#include "ops/BackupSMSThread.h"
#include "store/MessageChunkReader.h"

#include <QCommandLineParser>
#include <QDir>
#include <QObject>

#include <cstdio>
#include <stdexcept>

namespace {

void printWarning(const QString &text)
{
    const QByteArray bytes = (QStringLiteral("ferrywright-cli: ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// The serials of the phones adb lists as ready, in a stable order.
QStringList readyPhones()
{
    QStringList serials;
    for (const AdbDevice &device : CliPhoneLink::attachedDevices()) {
        if (device.isOnline())
            serials.append(device.serial);
    }
    serials.sort();
    return serials;
}

} // namespace

QString BackupCommand::synopsis() const
{
    return QStringLiteral("(--from SOURCE | --all-phones [--per-phone]) --to NAME [--chat ID] [--country MCC]");
}

QString BackupCommand::summary() const
{
    return QObject::tr("back a source's messages, or every attached phone's, up into a local database");
}

QString BackupCommand::description() const
{
    return QObject::tr("Merges the messages of SOURCE (all, or one conversation with --chat) into the local "
                       "database NAME, which is created when it does not exist. Messages it holds already are "
                       "not added twice. The backup is one transaction: a failure or Ctrl-C leaves the database "
                       "as it was, and a new database that did not come about leaves no folder behind.")
        + QStringLiteral("\n\n")
        + QObject::tr("With --all-phones every phone attached by USB is downloaded and backed up, all into NAME, "
                      "or with --per-phone each into NAME-MODEL (NAME-MODEL-SERIAL for a second phone of the same "
                      "model). No phone attached is no failure. A phone that fails does not stop the others; "
                      "the exit code is then 1.");
}

void BackupCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(fromOption());
    parser.addOption(QCommandLineOption(QStringLiteral("all-phones"), QObject::tr("Every phone attached by USB.")));
    parser.addOption(QCommandLineOption(QStringLiteral("per-phone"),
                                        QObject::tr("With --all-phones: one database NAME-MODEL for each phone.")));
    parser.addOption(QCommandLineOption(QStringLiteral("to"), QObject::tr("The local database's name."),
                                        QStringLiteral("NAME")));
    parser.addOption(chatOption());
    parser.addOption(countryOption());
}

int BackupCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    positionals(parser, 0);
    const bool allPhones = parser.isSet(QStringLiteral("all-phones"));
    if (allPhones == parser.isSet(QStringLiteral("from")))
        throw CliUsageError(QObject::tr("give either --from or --all-phones"), name());
    if (parser.isSet(QStringLiteral("per-phone")) && !allPhones)
        throw CliUsageError(QObject::tr("--per-phone goes with --all-phones"), name());
    if (allPhones)
        return backupAllPhones(parser, context);

    const SourceSpec spec = SourceSpec::parse(requiredValue(parser, QStringLiteral("from")));
    const QString name = SourceSpec::checkedFolderName(requiredValue(parser, QStringLiteral("to")), QStringLiteral("NAME"));
    CliMessageSource source(spec, parser.value(QStringLiteral("country")), context);
    backupInto(source, parser.value(QStringLiteral("chat")), name, context);
    return 0;
}

int BackupCommand::backupAllPhones(const QCommandLineParser &parser, CliContext &context) const
{
    const QString name = SourceSpec::checkedFolderName(requiredValue(parser, QStringLiteral("to")), QStringLiteral("NAME"));
    const QString country = parser.value(QStringLiteral("country"));
    const QString chat = parser.value(QStringLiteral("chat"));
    const bool perPhone = parser.isSet(QStringLiteral("per-phone"));
    CliPhoneLink::checkCountry(country);
    const QStringList serials = readyPhones();
    if (serials.isEmpty()) {
        CliContext::printLine(QObject::tr("No phone is attached; nothing to back up."));
        return 0;
    }
    const CliPhoneLink link(context);
    QStringList taken;
    QStringList failed;
    for (const QString &serial : serials) {
        try {
            const AndroidDevice device = link.connectAndDownload(serial, country);
            const QString target = perPhone ? perPhoneName(name, device.model, serial, taken) : name;
            taken.append(target);
            CliMessageSource source(SourceSpec{SourceSpec::Kind::Cache, QDir(device.cacheFolder()).dirName()},
                                    device.mmc, context);
            CliContext::printLine(QObject::tr("Phone %1 (%2) into %3:").arg(serial, device.displayName(), target));
            backupInto(source, chat, target, context);
        } catch (const std::exception &error) {
            // One phone's trouble (unplugged, agent refused) must not cost the others their backup.
            printWarning(QObject::tr("phone %1 not backed up: %2").arg(serial, QString::fromUtf8(error.what())));
            failed.append(serial);
        }
    }
    if (!failed.isEmpty())
        throw std::runtime_error(QObject::tr("%1 of %2 phones not backed up: %3")
                                     .arg(failed.size()).arg(serials.size()).arg(failed.join(QStringLiteral(", ")))
                                     .toStdString());
    return 0;
}

QString BackupCommand::perPhoneName(const QString &name, const QString &model, const QString &serial,
                                    const QStringList &taken)
{
    const QString cleanModel = sanitizeFileName(model);
    const QString byModel = cleanModel.isEmpty() ? name + QLatin1Char('-') + serial : name + QLatin1Char('-') + cleanModel;
    const QString candidate = taken.contains(byModel) ? byModel + QLatin1Char('-') + serial : byModel;
    return SourceSpec::checkedFolderName(sanitizeFileName(candidate), QStringLiteral("NAME"));
}

void BackupCommand::backupInto(CliMessageSource &source, const QString &chat, const QString &name, CliContext &context)
{
    // The worker removes a new database's folder again when the backup does
    // not come about, and only when it made the folder itself.
    CliProgress progress;
    const QString folder = localDatabasesDir().absoluteFilePath(name);
    // All of a source is read from its database while the backup goes.
    const std::unique_ptr<BackupSMSThread> worker =
        chat.isEmpty()
            ? std::make_unique<BackupSMSThread>(source.reader(), folder, QString(), &progress.reporter())
            : std::make_unique<BackupSMSThread>(source.messages(chat), folder, QString(), &progress.reporter());
    CliContext::printLine(context.runner.run(*worker, progress));
}
