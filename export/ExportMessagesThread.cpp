#include "export/ExportMessagesThread.h"

#include "app/AppFolders.h"
#include "export/EvidencePackage.h"
#include "export/ExportMessagesCsv.h"
#include "export/ExportMessagesNdjson.h"
#include "export/ExportMessagesHtml.h"
#include "export/ExportMessagesPdf.h"
#include "export/ExportMessagesTxt.h"
#include "store/MessageSequence.h"
#include "store/MessageChunkReader.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <exception>

namespace {

// Long enough for any name, short enough for every file system with the
// suffix and a "(N)" counter added.
constexpr int kMaxFileNameBytes = 200;

bool sameConversation(const _MsgChat *previousChat, const _MsgMessage &message)
{
    return previousChat == message.chat
        || MessageSequence::conversationKey(previousChat) == MessageSequence::conversationKey(message.chat);
}

bool isFolderFormat(ExportMessagesThread::Format format)
{
    return format == ExportMessagesThread::FormatPdf || format == ExportMessagesThread::FormatHtml;
}

// Folders and evidence packages go conversation by conversation, files oldest first.
MessageSequence::Order orderOf(ExportMessagesThread::Format format)
{
    return isFolderFormat(format) || format == ExportMessagesThread::FormatEvidence
        ? MessageSequence::Order::Conversation
        : MessageSequence::Order::Date;
}

} // namespace

ExportMessagesThread::ExportMessagesThread(const MsgMessageList &messages, const QString &path, Format format,
                                           ProgressReporter *form, QObject *parent, const QString &dataFolder)
    : ExportMessagesThread(std::make_unique<MessageSequence>(messages, orderOf(format)), MessageDateRange(), path,
                           format, form, parent, dataFolder)
{
}

ExportMessagesThread::ExportMessagesThread(std::unique_ptr<MessageChunkReader> source, const MessageDateRange &period,
                                           const QString &path, Format format, ProgressReporter *form,
                                           QObject *parent, const QString &dataFolder)
    : ExportMessagesThread(std::make_unique<MessageSequence>(std::move(source), orderOf(format)), period, path,
                           format, form, parent, dataFolder)
{
}

ExportMessagesThread::ExportMessagesThread(std::unique_ptr<MessageSequence> messages, const MessageDateRange &period,
                                           const QString &path, Format format, ProgressReporter *form,
                                           QObject *parent, const QString &dataFolder)
    : QThread(parent)
    , m_messages(std::move(messages))
    , m_period(period)
    , m_path(path)
    , m_format(format)
    , m_form(form)
    , m_dataFolder(dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : dataFolder)
{
}

ExportMessagesThread::~ExportMessagesThread() = default;

QStringList ExportMessagesThread::fileFilters()
{
    return {tr("Text Files(*.txt)"), tr("Doc Files(*.doc)"), tr("CSV Files(*.csv)"), tr("PDF Files(*.pdf)"),
            tr("HTML Files(*.html)"), tr("NDJSON Files(*.ndjson)")};
}

std::optional<ExportMessagesThread::Target> ExportMessagesThread::targetFor(const QString &chosenPath,
                                                                            int filterIndex)
{
    if (chosenPath.isEmpty())
        return std::nullopt;
    const QFileInfo chosen(chosenPath);
    const bool hasSuffix = !chosen.suffix().isEmpty();
    const auto withSuffix = [&](const char *suffix) {
        return hasSuffix ? chosenPath : chosenPath + QLatin1Char('.') + QLatin1String(suffix);
    };
    // A folder named after the file: its folder and its name up to the first dot.
    const auto asFolder = [&](const char *tail) {
        const QString base = hasSuffix ? chosen.dir().filePath(chosen.baseName()) : chosenPath;
        return base + QLatin1String(tail);
    };
    switch (filterIndex) {
    case 0:
        return Target{withSuffix("txt"), FormatText};
    case 1:
        return Target{withSuffix("doc"), FormatText};
    case 2:
        return Target{withSuffix("csv"), FormatCsv};
    case 3:
        return Target{asFolder("-pdf"), FormatPdf};
    case 4:
        return Target{asFolder("-html"), FormatHtml};
    case 5:
        return Target{withSuffix("ndjson"), FormatNdjson};
    default:
        return std::nullopt;
    }
}

void ExportMessagesThread::conversationOrder(MsgMessageList &messages)
{
    MessageSequence::conversationOrder(messages);
}

bool ExportMessagesThread::replacesFile(const Target &target)
{
    if (target.format == FormatEvidence)
        return EvidencePackage::replacesFolder(target.path);
    return !isFolderFormat(target.format) && QFileInfo::exists(target.path);
}

QString ExportMessagesThread::conversationFileName(const _MsgMessage &message)
{
    QString name;
    if (message.chat)
        name = message.chat->isGroup() ? message.chat->chat_identifier : chatDisplayName(*message.chat, true);
    // Names come from phones: no folder separators, no control characters,
    // no hidden files, no names too long for the file system.
    name = sanitizeFileName(name);
    name.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name = truncatedToUtf8Bytes(name, kMaxFileNameBytes).trimmed();
    return name.isEmpty() ? QStringLiteral("unknown-chat") : name;
}

QString ExportMessagesThread::successText() const
{
    QString text = tr("IDS_SUC_EXPORT_%1_MMS").arg(m_exported);
    const QStringList &unreadable = m_output.unreadableFiles();
    if (!unreadable.isEmpty()) {
        QStringList names;
        for (const QString &path : unreadable)
            names.append(QDir::toNativeSeparators(path));
        text += QLatin1Char('\n') + tr("These attachments could not be read and show as placeholders: %1")
                                        .arg(names.join(QStringLiteral(", ")));
    }
    return text;
}

void ExportMessagesThread::run()
{
    m_exported = 0;
    notifyProgress(m_form, tr("IDS_EXPORTING_MESSAGES_TO_FILE"), -1, QString());
    try {
        exportAll();
        notifySuccess(m_form, successText());
    } catch (const OperationCancelled &) {
        abandon();  // the dialog has closed already: nothing to report
    } catch (const std::exception &error) {
        abandon();
        notifyException(m_form, error);
    }
}

void ExportMessagesThread::exportAll()
{
    m_previousChat = nullptr;
    m_supportCopied = false;
    if (m_format == FormatEvidence) {
        exportEvidence();
        return;
    }
    m_total = m_messages->count();
    qint64 index = 0;
    if (!isFolderFormat(m_format)) {
        m_messages->forEach([this, &index](const _MsgMessage &message) { writeIfInPeriod(message, index); });
        finishExporter();
        return;
    }
    m_output.makeFolder(m_path);
    m_messages->forEachConversation([this, &index](const MsgMessageList &conversation) {
        for (const _MsgMessage *message : conversation)
            writeIfInPeriod(*message, index);
        finishExporter();  // before the next reading frees these messages
    });
}

void ExportMessagesThread::writeIfInPeriod(const _MsgMessage &message, qint64 &index)
{
    throwIfCancelled(m_form);
    if (m_period.contains(message))
        writeMessage(message, index);
    ++index;
}

void ExportMessagesThread::exportEvidence()
{
    EvidencePackage package(*m_messages, m_period, m_path, m_evidenceSource, m_dataFolder, m_output, m_form);
    package.write();
    m_exported = int(package.messageCount());
}

void ExportMessagesThread::writeMessage(const _MsgMessage &message, qint64 index)
{
    const qint64 count = m_total;
    if (m_pacer.due(index + 1 == count)) {
        notifyProgress(m_form, QString(), progressPercent(index + 1, count),
                       tr("Messages: %1/%2").arg(index + 1).arg(count));
    }
    if (!isFolderFormat(m_format)) {
        if (!m_exporter)
            startFileExporter();
    } else if (!m_exporter || !sameConversation(m_previousChat, message)) {
        finishExporter();
        startConversationExporter(message);
    }
    m_exporter->write(message);
    m_previousChat = message.chat;
    ++m_exported;
}

void ExportMessagesThread::startFileExporter()
{
    if (m_format == FormatCsv)
        m_exporter = std::make_shared<ExportMessagesCsv>(m_path);
    else if (m_format == FormatNdjson)
        m_exporter = std::make_shared<ExportMessagesNdjson>(m_path);
    else
        m_exporter = std::make_shared<ExportMessagesTxt>(m_path);
    m_exporter->begin();
}

void ExportMessagesThread::startConversationExporter(const _MsgMessage &message)
{
    const QString name = conversationFileName(message);
    if (m_format == FormatPdf) {
        const QString path = m_output.reserveFile(m_path, name + QStringLiteral(".pdf"));
        m_exporter = std::make_shared<ExportMessagesPdf>(path, m_dataFolder);
    } else {
        if (!m_supportCopied) {
            ExportMessagesHtml::copySupportFiles(m_dataFolder, m_path, m_output);
            m_supportCopied = true;
        }
        m_exporter = std::make_shared<ExportMessagesHtml>(m_path, name + QStringLiteral(".html"), m_dataFolder,
                                                          m_output);
    }
    m_exporter->begin();
}

void ExportMessagesThread::finishExporter()
{
    if (!m_exporter)
        return;
    // Released even when end() throws, so that abandon() finds no open file.
    const std::shared_ptr<Exporter> exporter = std::move(m_exporter);
    exporter->end();
}

void ExportMessagesThread::abandon()
{
    // Closed first: a text or CSV file that never reached end() is dropped
    // with its temporary file, and nothing keeps a file open while removed.
    m_exporter.reset();
    m_output.rollback();
}
