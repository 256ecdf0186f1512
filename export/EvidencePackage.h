#pragma once

#include "export/EvidencePdf.h"
#include "export/EvidenceSource.h"
#include "store/MsgMessageList.h"
#include "work/WorkerNotify.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QString>

class ExportOutput;
class EvidenceManifest;

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
class EvidencePackage
{
    Q_DECLARE_TR_FUNCTIONS(EvidencePackage)
public:
    static const QString kPdfName;
    static const QString kAttachmentsFolder;

    // `messages` in the order they are numbered; `output` records what is
    // created, so that its rollback takes it back; `form` receives progress
    // and may cancel (null: none).
    EvidencePackage(const MsgMessageList &messages, const QString &target, const EvidenceSource &source,
                    const QString &dataFolder, ExportOutput &output, ProgressReporter *form);

    // Builds the package and moves it into place. Throws std::runtime_error
    // when that fails and OperationCancelled when the user cancels.
    void write();

    // True when writing `target` would replace something: it exists and is
    // not an empty folder.
    static bool replacesFolder(const QString &target);

    // After write(): the PDF's pages.
    int pageCount() const { return m_pageCount; }

private:
    QList<EvidencePdf::Entry> copyAttachments(EvidenceManifest &manifest);
    QStringList copiesOf(const _MsgMessage &message, QStringList &unreadable, EvidenceManifest &manifest);
    void writePdf(const QList<EvidencePdf::Entry> &entries, EvidenceManifest &manifest);
    void addFileSum(EvidenceManifest &manifest, const QString &relativePath) const;
    void publish();
    QStringList coverLines() const;
    QString sourceText() const;
    QString localIsoDate(qint64 appleSeconds) const;
    // Progress of one pass over the messages; throws when cancelled.
    void step(const QString &status);

    MsgMessageList m_messages;
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
