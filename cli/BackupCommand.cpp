#include "cli/BackupCommand.h"

#include "app/AppFolders.h"
#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "cli/CliProgress.h"
#include "ops/BackupSMSThread.h"

#include <QCommandLineParser>
#include <QObject>

QString BackupCommand::synopsis() const
{
    return QStringLiteral("--from SOURCE --to NAME [--chat ID] [--country MCC]");
}

QString BackupCommand::summary() const
{
    return QObject::tr("back a source's messages up into a local database");
}

QString BackupCommand::description() const
{
    return QObject::tr("Merges the messages of SOURCE (all, or one conversation with --chat) into the local "
                       "database NAME, which is created when it does not exist. Messages it holds already are "
                       "not added twice. The backup is one transaction: a failure or Ctrl-C leaves the database "
                       "as it was, and a new database that did not come about leaves no folder behind.");
}

void BackupCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(fromOption());
    parser.addOption(QCommandLineOption(QStringLiteral("to"), QObject::tr("The local database's name."),
                                        QStringLiteral("NAME")));
    parser.addOption(chatOption());
    parser.addOption(countryOption());
}

int BackupCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    positionals(parser, 0);
    const SourceSpec spec = SourceSpec::parse(requiredValue(parser, QStringLiteral("from")));
    const QString name = SourceSpec::checkedFolderName(requiredValue(parser, QStringLiteral("to")), QStringLiteral("NAME"));
    CliMessageSource source(spec, parser.value(QStringLiteral("country")), context);
    const MsgMessageList messages = source.messages(parser.value(QStringLiteral("chat")));

    // The worker removes a new database's folder again when the backup does
    // not come about, and only when it made the folder itself.
    CliProgress progress;
    BackupSMSThread worker(messages, localDatabasesDir().absoluteFilePath(name), QString(), &progress.reporter());
    CliContext::printLine(context.runner.run(worker, progress));
    return 0;
}
