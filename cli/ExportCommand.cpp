#include "cli/ExportCommand.h"

#include <stdexcept>

#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "cli/CliProgress.h"
#include "cli/CliUsageError.h"
#include "export/ExportMessagesThread.h"
#include "store/MessageChunkReader.h"
#include "store/MessageDateRange.h"

#include <QCommandLineParser>

#include <functional>
#include <QDir>
#include <QObject>

namespace {

// The formats in the order of the window's save dialog filters.
const QStringList kFormats{QStringLiteral("txt"),  QStringLiteral("doc"),    QStringLiteral("csv"),
                           QStringLiteral("pdf"),  QStringLiteral("html"),   QStringLiteral("ndjson"),
                           QStringLiteral("evidence")};

// Text, Word and CSV get their suffix when PATH has none, as in the window;
// PDF and HTML write one file per conversation into the folder PATH itself.
ExportMessagesThread::Target targetFor(const QString &path, int formatIndex)
{
    const QString absolute = QDir::current().absoluteFilePath(path);
    if (kFormats.at(formatIndex) == QLatin1String("pdf"))
        return {absolute, ExportMessagesThread::FormatPdf};
    if (kFormats.at(formatIndex) == QLatin1String("html"))
        return {absolute, ExportMessagesThread::FormatHtml};
    if (kFormats.at(formatIndex) == QLatin1String("evidence"))
        return {absolute, ExportMessagesThread::FormatEvidence};
    return *ExportMessagesThread::targetFor(absolute, formatIndex);
}

// --since and --until, each optional; a day alone is the whole day. A date
// that cannot be read is a wrong use of `command`.
MessageDateRange dateRange(const QCommandLineParser &parser, const QString &command)
{
    const auto bound = [&parser](const QString &option, MessageDateRange::Bound which) -> std::optional<QDateTime> {
        if (!parser.isSet(option))
            return std::nullopt;
        return MessageDateRange::parseBound(parser.value(option), which);
    };
    try {
        return MessageDateRange(bound(QStringLiteral("since"), MessageDateRange::Bound::Start),
                                bound(QStringLiteral("until"), MessageDateRange::Bound::End));
    } catch (const std::runtime_error &error) {
        throw CliUsageError(QString::fromUtf8(error.what()), command);
    }
}

// A chosen period that holds no message writes nothing rather than an empty
// file; `holdsNone` is asked only when a period was chosen.
void refuseEmptyPeriod(const MessageDateRange &range, const std::function<bool()> &holdsNone)
{
    if (!range.isOpen() && holdsNone())
        throw std::runtime_error(QObject::tr("No message falls between --since and --until.").toStdString());
}

} // namespace

QString ExportCommand::synopsis() const
{
    return QStringLiteral("--from SOURCE --format txt|doc|csv|pdf|html|ndjson|evidence --out PATH [--chat ID] "
                          "[--since DATE] [--until DATE] [--country MCC] [--force]");
}

QString ExportCommand::summary() const
{
    return QObject::tr("export a source's messages to files");
}

QString ExportCommand::description() const
{
    return QObject::tr("Writes the messages of SOURCE (all, or one conversation with --chat) to PATH: a text file "
                       "(txt, or doc under a Word name) or a CSV file, oldest message first (the suffix is added "
                       "when PATH has none) that is replaced only with --force; or, for pdf and html, the folder PATH "
                       "with one file per conversation; for evidence, the folder PATH with a numbered PDF, the "
                       "attachments and the checksums of every file (sha256sum -c manifest.sha256 checks them), "
                       "replacing a folder that is not empty only with --force. --since and --until keep the messages "
                       "of a period, both days included (2024-03-01, or 2024-03-01T08:30 for a moment). A failed or "
                       "interrupted export takes back what it wrote. "
                       "Prints what was written.");
}

void ExportCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(fromOption());
    parser.addOption(QCommandLineOption(QStringLiteral("format"), QObject::tr("txt, doc, csv, pdf, html, ndjson or evidence."),
                                        QStringLiteral("FORMAT")));
    parser.addOption(QCommandLineOption(QStringLiteral("out"), QObject::tr("The file or folder to write."),
                                        QStringLiteral("PATH")));
    parser.addOption(chatOption());
    parser.addOption(QCommandLineOption(QStringLiteral("since"), QObject::tr("Only messages from DATE on."),
                                        QStringLiteral("DATE")));
    parser.addOption(QCommandLineOption(QStringLiteral("until"), QObject::tr("Only messages up to DATE."),
                                        QStringLiteral("DATE")));
    parser.addOption(countryOption());
    parser.addOption(QCommandLineOption(QStringLiteral("force"), QObject::tr("Replace a text or CSV file, or an evidence folder, that exists.")));
}

int ExportCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    positionals(parser, 0);
    const SourceSpec spec = SourceSpec::parse(requiredValue(parser, QStringLiteral("from")));
    const QString format = requiredValue(parser, QStringLiteral("format"));
    const qsizetype formatIndex = kFormats.indexOf(format.toLower());
    if (formatIndex < 0)
        throw CliUsageError(QObject::tr("unknown --format '%1'").arg(format), name());
    const MessageDateRange range = dateRange(parser, name());
    const ExportMessagesThread::Target target = targetFor(requiredValue(parser, QStringLiteral("out")), int(formatIndex));
    if (ExportMessagesThread::replacesFile(target) && !parser.isSet(QStringLiteral("force")))
        throw std::runtime_error(QObject::tr("%1 exists; add --force to replace it")
                                     .arg(QDir::toNativeSeparators(target.path))
                                     .toStdString());

    CliMessageSource source(spec, parser.value(QStringLiteral("country")), context);
    const QString chat = parser.value(QStringLiteral("chat"));
    CliProgress progress;
    std::unique_ptr<ExportMessagesThread> worker;
    // All of a source is read from its database while the files are written.
    if (chat.isEmpty()) {
        refuseEmptyPeriod(range, [&] { return source.reader()->count(range) == 0; });
        worker = std::make_unique<ExportMessagesThread>(source.reader(), range, target.path, target.format,
                                                        &progress.reporter());
    } else {
        const MsgMessageList messages = range.filtered(source.messages(chat));
        refuseEmptyPeriod(range, [&] { return messages.isEmpty(); });
        worker = std::make_unique<ExportMessagesThread>(messages, target.path, target.format, &progress.reporter());
    }
    worker->setEvidenceSource(source.evidenceSource());
    CliContext::printLine(context.runner.run(*worker, progress));
    CliContext::printLine(target.path);
    return 0;
}
