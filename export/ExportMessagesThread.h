#pragma once

#include "export/EvidenceSource.h"
#include "store/AbsFormatExport.h"
#include "export/ExportOutput.h"
#include "work/WorkerNotify.h"
#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>
#include <optional>

class MessageChunkReader;
class MessageSequence;
class _MsgChat;

// Writes a list of messages to the user's disk: a text file (also under a
// .doc name), a CSV file, or a folder with one PDF or one HTML page per
// conversation, or an evidence package folder (see EvidencePackage). Text
// and CSV take the messages oldest first; PDF and HTML
// take them conversation by conversation (see conversationOrder).
//
// A cancelled or failed run takes back what it created and nothing else: a
// text or CSV file keeps its former content, a folder that existed before
// keeps every file it held.
class ExportMessagesThread : public QThread
{
    Q_OBJECT
public:
    // The format codes of the export.
    enum Format : unsigned { FormatText = 0, FormatCsv = 1, FormatPdf = 2, FormatHtml = 3, FormatNdjson = 4,
                            FormatEvidence = 5 };

    struct Target
    {
        QString path;  // a file for text, CSV and NDJSON, a folder for PDF, HTML and evidence
        Format format = FormatText;
    };

    // `form` is owned by the caller and outlives the thread. `dataFolder`
    // holds "bubble" and "emoji" (the executable's folder when empty).
    ExportMessagesThread(const MsgMessageList &messages, const QString &path, Format format,
                         ProgressReporter *form, QObject *parent = nullptr, const QString &dataFolder = QString());
    // Every message of a database that falls in `period`, which `source`
    // reads while the export goes, so memory does not grow with the
    // database: a chunk at a time for one file, a few conversations at a time
    // for PDF, HTML and an evidence package.
    ExportMessagesThread(std::unique_ptr<MessageChunkReader> source, const MessageDateRange &period,
                         const QString &path, Format format, ProgressReporter *form, QObject *parent = nullptr,
                         const QString &dataFolder = QString());
    ~ExportMessagesThread() override;

    // The save dialog's filters, in order: text, Word, CSV, PDF, HTML, NDJSON.
    static QStringList fileFilters();
    // Where and how to export for the name picked with filter number
    // `filterIndex` of fileFilters(); nothing for an empty name or no filter.
    static std::optional<Target> targetFor(const QString &chosenPath, int filterIndex);

    // True when `target` is a text, CSV or NDJSON file that exists already, or
    // an evidence folder that exists and is not empty: the export would
    // replace it. PDF and HTML exports number their files.
    static bool replacesFile(const Target &target);

    // PDF, HTML and evidence order (MessageSequence::conversationOrder).
    static void conversationOrder(MsgMessageList &messages);

    // The page or PDF file name of a message's conversation, without suffix:
    // safe as a file name and never empty.
    static QString conversationFileName(const _MsgMessage &message);

    // What the cover of an evidence package names as the source.
    void setEvidenceSource(const EvidenceSource &source) { m_evidenceSource = source; }

    // After the run: messages written.
    int exported() const { return m_exported; }

protected:
    void run() override;

private:
    // The success text; names the attachments that could not be read.
    QString successText() const;

    using Exporter = AbsFormatExport<_MsgMessage>;

    ExportMessagesThread(std::unique_ptr<MessageSequence> messages, const MessageDateRange &period,
                         const QString &path, Format format, ProgressReporter *form, QObject *parent,
                         const QString &dataFolder);

    void exportAll();
    void exportEvidence();
    // Writes `message` when the period holds it; `index` counts every message read.
    void writeIfInPeriod(const _MsgMessage &message, qint64 &index);
    void writeMessage(const _MsgMessage &message, qint64 index);
    void startFileExporter();
    void startConversationExporter(const _MsgMessage &message);
    void finishExporter();
    void abandon();

    std::unique_ptr<MessageSequence> m_messages;
    MessageDateRange m_period;
    qint64 m_total = 0;  // what the progress counts to
    QString m_path;
    Format m_format;
    ProgressReporter *m_form;
    QString m_dataFolder;
    EvidenceSource m_evidenceSource;
    ExportOutput m_output;
    std::shared_ptr<Exporter> m_exporter;
    // The chat of the message written last: a message read from a source is
    // gone with its conversation or chunk, its chat lives with the reader.
    const _MsgChat *m_previousChat = nullptr;
    bool m_supportCopied = false;
    int m_exported = 0;
    ProgressPacer m_pacer;
};
