#include "export/ExportMessagesThread.h"

#include "app/AppFolders.h"
#include "export/EvidencePackage.h"
#include "export/ExportMessagesCsv.h"
#include "export/ExportMessagesNdjson.h"
#include "export/ExportMessagesHtml.h"
#include "export/ExportMessagesPdf.h"
#include "export/ExportMessagesTxt.h"
#include "store/MessageChunkReader.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <exception>
#include <vector>

namespace {

// Long enough for any name, short enough for every file system with the
// suffix and a "(N)" counter added.
constexpr int kMaxFileNameBytes = 200;

QString chatKey(const _MsgChat *chat)
{
    return chat ? chat->chat_identifier.toCaseFolded() : QString();
}

QString conversationKey(const _MsgMessage &message)
{
    return chatKey(message.chat);
}

// Chats that share an identifier are one conversation, placed by the newest
// date of all of them, so that they can never interleave; equal dates fall
// back to the identifier. Gives each chat its conversation's place, 0 first.
QHash<const _MsgChat *, int> conversationRanks(const QList<_MsgChat *> &chats)
{
    QHash<QString, qint32> lastOfConversation;
    for (const _MsgChat *chat : chats) {
        const QString key = chatKey(chat);
        const qint32 last = chat ? chat->_last : 0;
        auto it = lastOfConversation.find(key);
        if (it == lastOfConversation.end())
            lastOfConversation.insert(key, last);
        else
            *it = std::max(*it, last);
    }
    QList<std::pair<qint32, QString>> conversations;
    for (auto it = lastOfConversation.cbegin(); it != lastOfConversation.cend(); ++it)
        conversations.append({it.value(), it.key()});
    std::sort(conversations.begin(), conversations.end());
    QHash<QString, int> rankOfKey;
    for (int i = 0; i < conversations.size(); ++i)
        rankOfKey.insert(conversations.at(i).second, i);
    QHash<const _MsgChat *, int> ranks;
    for (const _MsgChat *chat : chats)
        ranks.insert(chat, rankOfKey.value(chatKey(chat)));
    return ranks;
}

bool sameConversation(const _MsgChat *previousChat, const _MsgMessage &message)
{
    return previousChat == message.chat || chatKey(previousChat) == conversationKey(message);
}

bool isFolderFormat(ExportMessagesThread::Format format)
{
    return format == ExportMessagesThread::FormatPdf || format == ExportMessagesThread::FormatHtml;
}

} // namespace

ExportMessagesThread::ExportMessagesThread(const MsgMessageList &messages, const QString &path, Format format,
                                           ProgressReporter *form, QObject *parent, const QString &dataFolder)
    : QThread(parent)
    , m_messages(messages)
    , m_path(path)
    , m_format(format)
    , m_form(form)
    , m_dataFolder(dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : dataFolder)
{
}

ExportMessagesThread::ExportMessagesThread(std::unique_ptr<MessageChunkReader> source, const MessageDateRange &period,
                                           const QString &path, Format format, ProgressReporter *form,
                                           QObject *parent, const QString &dataFolder)
    : ExportMessagesThread(MsgMessageList(), path, format, form, parent, dataFolder)
{
    m_source = std::move(source);
    m_period = period;
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
    QList<_MsgChat *> chats;
    QSet<const _MsgChat *> seen;
    for (const _MsgMessage *message : std::as_const(messages)) {
        if (!seen.contains(message->chat)) {
            seen.insert(message->chat);
            chats.append(message->chat);
        }
    }
    const QHash<const _MsgChat *, int> rankOfChat = conversationRanks(chats);

    // One small record per message: the comparisons need no look-ups.
    struct Ranked
    {
        int rank;
        _MsgMessage *message;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(size_t(messages.size()));
    for (_MsgMessage *message : std::as_const(messages))
        ranked.push_back({rankOfChat.value(message->chat), message});
    // Stable: messageLessThan is not transitive for every input.
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return messageLessThan(a.message, b.message);
    });
    for (size_t i = 0; i < ranked.size(); ++i)
        messages[qsizetype(i)] = ranked[i].message;
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
    if (m_source) {
        exportFromSource();
        return;
    }
    m_total = m_messages.size();
    if (m_format == FormatEvidence) {
        exportEvidence();
        return;
    }
    if (isFolderFormat(m_format)) {
        m_output.makeFolder(m_path);
        conversationOrder(m_messages);
    } else {
        sortMessages(m_messages);
    }
    for (qsizetype i = 0; i < m_messages.size(); ++i) {
        throwIfCancelled(m_form);
        if (m_messages.at(i))
            writeMessage(*m_messages.at(i), i);
    }
    finishExporter();
}

void ExportMessagesThread::exportFromSource()
{
    if (m_format == FormatEvidence)
        throw std::runtime_error("An evidence package is made from the messages shown, not from a database.");
    m_total = m_source->count();
    qint64 index = 0;
    if (!isFolderFormat(m_format)) {
        m_source->forEach([this, &index](const _MsgMessage &message) { writeIfInPeriod(message, index); });
        finishExporter();
        return;
    }
    // The conversations in the order conversationOrder gives, read a few at
    // a time: about a chunk of messages, or one conversation when it is longer.
    m_output.makeFolder(m_path);
    const QList<_MsgChat *> chats = m_source->chats();
    const QHash<const _MsgChat *, int> rankOfChat = conversationRanks(chats);
    QMap<int, QList<_MsgChat *>> chatsOfConversation;
    for (_MsgChat *chat : chats)
        chatsOfConversation[rankOfChat.value(chat)].append(chat);
    QList<_MsgChat *> batch;
    qint64 batchMessages = 0;
    for (auto it = chatsOfConversation.cbegin(); it != chatsOfConversation.cend(); ++it) {
        for (_MsgChat *chat : it.value()) {
            batch.append(chat);
            batchMessages += m_source->messageCount(*chat);
        }
        if (batchMessages >= m_source->chunkSize() || std::next(it) == chatsOfConversation.cend()) {
            writeConversations(batch, rankOfChat, index);
            batch.clear();
            batchMessages = 0;
        }
    }
}

void ExportMessagesThread::writeConversations(const QList<_MsgChat *> &chats,
                                              const QHash<const _MsgChat *, int> &rankOfChat, qint64 &index)
{
    QMap<int, MsgMessageList> conversations;  // by rank; each in row-id order, as loaded
    for (_MsgMessage *message : m_source->messagesOfChats(chats))
        conversations[rankOfChat.value(message->chat)].append(message);
    for (MsgMessageList &messages : conversations) {
        sortMessages(messages);
        for (const _MsgMessage *message : std::as_const(messages))
            writeIfInPeriod(*message, index);
        finishExporter();  // before the next reading frees these messages
    }
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
    conversationOrder(m_messages);
    EvidencePackage package(m_messages, m_path, m_evidenceSource, m_dataFolder, m_output, m_form);
    package.write();
    m_exported = int(m_messages.size() - m_messages.count(nullptr));
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
