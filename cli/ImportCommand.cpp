#include "cli/ImportCommand.h"

#include "app/AppFolders.h"
#include "cli/CliContext.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliProgress.h"
#include "cli/SourceSpec.h"
#include "import/ImportSmsBackupThread.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QThread>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

} // namespace

QString ImportCommand::synopsis() const
{
    return QStringLiteral("FILE --to NAME [--country MCC]");
}

QString ImportCommand::summary() const
{
    return QObject::tr("import an SMS Backup & Restore XML file into a local database");
}

QString ImportCommand::description() const
{
    return QObject::tr("Imports the messages of FILE, an XML file written by the SMS Backup & Restore app, into the "
                       "local database NAME (created when it does not exist). --country gives the mobile country "
                       "code for the file's numbers. Messages the database holds already are not added twice; a "
                       "malformed file or Ctrl-C commits nothing.");
}

void ImportCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addPositionalArgument(QStringLiteral("FILE"), QObject::tr("The XML file to import."));
    parser.addOption(QCommandLineOption(QStringLiteral("to"), QObject::tr("The local database's name."),
                                        QStringLiteral("NAME")));
    parser.addOption(countryOption());
}

std::unique_ptr<QThread> ImportCommand::makeWorker(const QString &xmlPath, const QString &dbFolder,
                                                   const QString &countryCode, ProgressReporter *form)
{
    return std::make_unique<ImportSmsBackupThread>(xmlPath, dbFolder, countryCode, form);
}

int ImportCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    const QString xmlPath = QDir::current().absoluteFilePath(positionals(parser, 1).constFirst());
    const QString name = SourceSpec::checkedFolderName(requiredValue(parser, QStringLiteral("to")), QStringLiteral("NAME"));
    const QString country = parser.value(QStringLiteral("country"));
    if (!QFileInfo(xmlPath).isFile())
        fail(QObject::tr("No file '%1'.").arg(xmlPath));
    CliPhoneLink::checkCountry(country);

    // The worker removes a new database's folder again when the import does
    // not come about, and only when it made the folder itself.
    CliProgress progress;
    const std::unique_ptr<QThread> worker =
        makeWorker(xmlPath, localDatabasesDir().absoluteFilePath(name), country, &progress.reporter());
    CliContext::printLine(context.runner.run(*worker, progress));
    return 0;
}
