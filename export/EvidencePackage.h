#pragma once

#include "export/EvidencePdf.h"
#include "export/EvidenceSource.h"
#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"
#include "work/WorkerNotify.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ExportOutput;
class EvidenceManifest;
class MessageSequence;

// A folder to hand to a lawyer, a court or an insurer: messages.pdf (a
// cover, every message numbered, "Page X of Y"), the attachments under their
// stored names in "attachments" (numbered when two share a name), and
// manifest.json and manifest.sha256 (see EvidenceManifest), so that
// `sha256sum -c manifest.sha256` in the folder shows that nothing changed.
//
// Everything is built in a hidden folder beside the target, which takes the
// target's place only when complete: a cancelled or failed run leaves
// nothing half-written, and the target is replaced (an existing one, which
// the user has agreed to replace) only at that moment.
//
// The messages are gone through three times (the copies and the manifest,
// then the two passes of the PDF), each time from the sequence, which may
// read them from a database as it goes: nothing holds them all.
class EvidencePackage
{
    Q_DECLARE_TR_FUNCTIONS(EvidencePackage)
public:
    static const QString kPdfName;
    static const QString kAttachmentsFolder;

    // The messages of `messages` that fall in `period`, numbered in the
    // sequence's order; `output` records what is created, so that its
    // rollback takes it back; `form` receives progress and may cancel (null:
    // none). `messages` outlives the package.
    EvidencePackage(MessageSequence &messages, const MessageDateRange &period, const QString &target,
                    const EvidenceSource &source, const QString &dataFolder, ExportOutput &output,
                    ProgressReporter *form);

    // Builds the package and moves it into place. Throws std::runtime_error
    // when that fails and OperationCancelled when the user cancels.
    void write();

    // True when writing `target` would replace something: it exists and is
    // not an empty folder.
    static bool replacesFolder(const QString &target);

    // After write(): the PDF's pages and the messages numbered.
    int pageCount() const { return m_pageCount; }
    qint64 messageCount() const { return m_numbered.count; }

private:
    // What the cover says of the messages, gathered while they are numbered.
    struct Numbered
    {
        qint64 count = 0;
        std::optional<qint64> firstDate;
        std::optional<qint64> lastDate;
        QStringList conversations;  // in the order of the pages, each once
        QSet<QString> seenConversations;
        void add(const _MsgMessage &message);
    };

    // Visits the messages of the period in their numbered order.
    void forEachNumbered(const std::function<void(const _MsgMessage &)> &visit) const;
    void copyAttachments(EvidenceManifest &manifest);
    QStringList copiesOf(const _MsgMessage &message, QStringList &unreadable, EvidenceManifest &manifest);
    // The names in the package of the attachments of `message` that were
    // copied: what copiesOf gave it, unless a file unreadable at its turn
    // was copied for a later message.
    QStringList copiedFilesOf(const _MsgMessage &message) const;
    void writePdf(EvidenceManifest &manifest);
    void addFileSum(EvidenceManifest &manifest, const QString &relativePath) const;
    void publish();
    QJsonObject manifestHeader() const;
    QStringList coverLines() const;
    QString sourceText() const;
    QString localIsoDate(qint64 appleSeconds) const;
    // Progress of one pass over the messages; throws when cancelled.
    void step(const QString &status);

    MessageSequence &m_messages;
    MessageDateRange m_period;
    qint64 m_expected = 0;  // the messages each pass counts to
    Numbered m_numbered;
    QString m_target;
    EvidenceSource m_source;
    QString m_dataFolder;
    ExportOutput &m_output;
    ProgressReporter *m_form;
    QString m_staging;
    QDateTime m_exportTime;
    QHash<QString, QString> m_copies;  // stored path -> name in the package
    int m_pageCount = 0;
    qint64 m_done = 0;
    ProgressPacer m_pacer;
};
