#include "cli/ExtractCommand.h"

#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "cli/CliProgress.h"
#include "ops/AttachmentExtractThread.h"
#include "store/MessageChunkReader.h"

#include <QCommandLineParser>
#include <QDir>
#include <QObject>

QString ExtractCommand::synopsis() const
{
    return QStringLiteral("--from SOURCE --out DIR [--chat ID] [--country MCC]");
}

QString ExtractCommand::summary() const
{
    return QObject::tr("copy the attachments of a source's messages into a folder");
}

QString ExtractCommand::description() const
{
    return QObject::tr("Copies the attachment files (pictures, audio, video, contact cards) of the messages of "
                       "SOURCE (all, or one conversation with --chat) into the folder DIR, created when missing. "
                       "Each copy carries its message's date; same-named files get numbered names. A failed or "
                       "interrupted run removes what it created.");
}

void ExtractCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(fromOption());
    parser.addOption(QCommandLineOption(QStringLiteral("out"), QObject::tr("The folder to copy into."),
                                        QStringLiteral("DIR")));
    parser.addOption(chatOption());
    parser.addOption(countryOption());
}

int ExtractCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    positionals(parser, 0);
    const SourceSpec spec = SourceSpec::parse(requiredValue(parser, QStringLiteral("from")));
    const QString folder = QDir::current().absoluteFilePath(requiredValue(parser, QStringLiteral("out")));
    CliMessageSource source(spec, parser.value(QStringLiteral("country")), context);
    const QString chat = parser.value(QStringLiteral("chat"));
    CliProgress progress;
    // All of a source is read from its database while the copies go.
    const std::unique_ptr<AttachmentExtractThread> worker =
        chat.isEmpty() ? std::make_unique<AttachmentExtractThread>(&progress.reporter(), source.reader(), folder)
                       : std::make_unique<AttachmentExtractThread>(&progress.reporter(), source.messages(chat), folder);
    CliContext::printLine(context.runner.run(*worker, progress));
    return 0;
}
