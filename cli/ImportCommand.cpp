#include "cli/ImportCommand.h"

#include "app/AppFolders.h"
#include "cli/CliContext.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliProgress.h"
#include "cli/SourceSpec.h"
#include "import/ImportSourceKind.h"
#include "import/MessageImportThread.h"

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
    return QStringLiteral("PATH --to NAME [--kind xml|iphone|zip] [--country MCC]");
}

QString ImportCommand::summary() const
{
    return QObject::tr("import an SMS Backup & Restore file, an iPhone backup or an SMS Import/Export archive into a "
                       "local database");
}

QString ImportCommand::description() const
{
    return QObject::tr("Imports the messages of PATH into the local database NAME (created when it does not exist). "
                       "PATH is an XML file written by the SMS Backup & Restore app, a computer's unencrypted backup "
                       "folder of an iPhone, or a ZIP archive of the SMS Import/Export app; its kind is recognised "
                       "from what it holds, or forced with --kind. --country gives the mobile country code for "
                       "national numbers. Messages the database holds already are not added twice; a malformed "
                       "input or Ctrl-C commits nothing.");
}

void ImportCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addPositionalArgument(QStringLiteral("PATH"), QObject::tr("The file or backup folder to import."));
    parser.addOption(QCommandLineOption(QStringLiteral("kind"), QObject::tr("What PATH is: xml, iphone or zip."),
                                        QStringLiteral("KIND")));
    parser.addOption(QCommandLineOption(QStringLiteral("to"), QObject::tr("The local database's name."),
                                        QStringLiteral("NAME")));
    parser.addOption(countryOption());
}

int ImportCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    const QString path = QDir::current().absoluteFilePath(positionals(parser, 1).constFirst());
    const QString name = SourceSpec::checkedFolderName(requiredValue(parser, QStringLiteral("to")), QStringLiteral("NAME"));
    const QString country = parser.value(QStringLiteral("country"));
    if (!QFileInfo::exists(path))
        fail(QObject::tr("No file '%1'.").arg(path));
    CliPhoneLink::checkCountry(country);
    const QString kindName = parser.value(QStringLiteral("kind"));
    const ImportSourceKind::Kind kind =
        kindName.isEmpty() ? ImportSourceKind::recognise(path) : ImportSourceKind::fromName(kindName);

    // The worker removes a new database's folder again when the import does
    // not come about, and only when it made the folder itself.
    CliProgress progress;
    const std::unique_ptr<MessageImportThread> worker = ImportSourceKind::makeWorker(
        kind, path, localDatabasesDir().absoluteFilePath(name), country, &progress.reporter());
    CliContext::printLine(context.runner.run(*worker, progress));
    return 0;
}
