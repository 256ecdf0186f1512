#include "export/EvidencePackage.h"

#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "export/EvidenceManifest.h"
#include "export/ExportFile.h"
#include "export/ExportOutput.h"
#include "export/LocalTimeOffsets.h"
#include "store/MessageSequence.h"
#include "store/AppleTime.h"
#include "store/MessageOrder.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/MsgChat.h"
#include "store/MsgMessage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSet>
#include <QTimeZone>
#include <QtDebug>

#include <algorithm>
#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

// A free hidden name beside `target` for a folder of this run.
QString siblingPath(const QString &target, const QString &tail)
{
    const QFileInfo info(target);
    return uniqueFilePath(info.dir().absoluteFilePath(QLatin1Char('.') + info.fileName() + tail));
}

} // namespace

const QString EvidencePackage::kPdfName = QStringLiteral("messages.pdf");
const QString EvidencePackage::kAttachmentsFolder = QStringLiteral("attachments");

EvidencePackage::EvidencePackage(MessageSequence &messages, const MessageDateRange &period, const QString &target,
                                 const EvidenceSource &source, const QString &dataFolder, ExportOutput &output,
                                 ProgressReporter *form)
    : m_messages(messages)
    , m_period(period)
    , m_target(QDir(target).absolutePath())
    , m_source(source)
    , m_dataFolder(dataFolder)
    , m_output(output)
    , m_form(form)
{
}

bool EvidencePackage::replacesFolder(const QString &target)
{
    const QFileInfo info(target);
    const bool emptyFolder =
        info.isDir() && QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return info.exists() && !emptyFolder;
}

void EvidencePackage::write()
{
    m_exportTime = QDateTime::currentDateTime();
    m_done = 0;
    m_numbered = Numbered();
    m_copies.clear();
    m_expected = m_messages.count(m_period);
    m_output.makeFolder(QFileInfo(m_target).absolutePath());
    m_staging = siblingPath(m_target, QStringLiteral(".partial"));
    m_output.makeFolder(m_staging);

    EvidenceManifest manifest(m_staging);
    copyAttachments(manifest);
    writePdf(manifest);
    manifest.write(manifestHeader(), m_output);
    publish();
}

QJsonObject EvidencePackage::manifestHeader() const
{
    return QJsonObject{{QStringLiteral("program"), AppInfo::productTitle()},
                       {QStringLiteral("source"), sourceText()},
                       {QStringLiteral("exported_local"), LocalTimeOffsets::isoWithOffset(m_exportTime)},
                       {QStringLiteral("exported_utc"), m_exportTime.toUTC().toString(Qt::ISODate)},
                       {QStringLiteral("time_zone"), QString::fromUtf8(QTimeZone::systemTimeZoneId())},
                       {QStringLiteral("message_count"), int(m_numbered.count)},
                       {QStringLiteral("pdf"), kPdfName}};
}

void EvidencePackage::forEachNumbered(const std::function<void(const _MsgMessage &)> &visit) const
{
    m_messages.forEach([this, &visit](const _MsgMessage &message) {
        if (m_period.contains(message))
            visit(message);
    });
}

void EvidencePackage::copyAttachments(EvidenceManifest &manifest)
{
    LocalTimeOffsets offsets;
    const QString status = tr("Copying the attachments");
    forEachNumbered([&](const _MsgMessage &message) {
        step(status);
        QStringList unreadable;
        const QStringList files = copiesOf(message, unreadable, manifest);
        m_numbered.add(message);
        manifest.addMessage(int(m_numbered.count), message, files, unreadable, offsets);
    });
}

QStringList EvidencePackage::copiesOf(const _MsgMessage &message, QStringList &unreadable, EvidenceManifest &manifest)
{
    QStringList files;
    const QString folder = QDir(m_staging).absoluteFilePath(kAttachmentsFolder);
    for (const _MsgAttachment *attachment : sortedAttachments(message)) {
        const QString &stored = attachment->localPath;
        auto copied = m_copies.constFind(stored);
        if (copied == m_copies.cend()) {
            m_output.makeFolder(folder);
            const QString name =
                stored.isEmpty() ? QString() : m_output.copyReadableFile(stored, folder, attachmentCopyName(stored));
            if (name.isEmpty()) {
                unreadable.append(attachmentCopyName(stored.isEmpty() ? attachment->filename : stored));
                continue;
            }
            copied = m_copies.insert(stored, kAttachmentsFolder + QLatin1Char('/') + name);
            // Sum of the copy, made once: the file the recipient holds.
            addFileSum(manifest, *copied);
        }
        files.append(*copied);
    }
    return files;
}

QStringList EvidencePackage::copiedFilesOf(const _MsgMessage &message) const
{
    QStringList files;
    for (const _MsgAttachment *attachment : sortedAttachments(message)) {
        const auto copied = m_copies.constFind(attachment->localPath);
        if (copied != m_copies.cend())
            files.append(*copied);
    }
    return files;
}

void EvidencePackage::writePdf(EvidenceManifest &manifest)
{
    const QString path = m_output.reserveFile(m_staging, kPdfName);
    const EvidencePdf pdf(m_dataFolder, tr("Messages for evidence"), coverLines(),
                          [this](const EvidencePdf::EntryVisit &visit) {
                              forEachNumbered([this, &visit](const _MsgMessage &message) {
                                  visit({&message, copiedFilesOf(message)});
                              });
                          });
    const QString status = tr("Drawing the pages");
    m_pageCount = pdf.write(path, [this, &status] { step(status); });
    addFileSum(manifest, QFileInfo(path).fileName());
}

void EvidencePackage::addFileSum(EvidenceManifest &manifest, const QString &relativePath) const
{
    const QString path = QDir(m_staging).absoluteFilePath(relativePath);
    const QString sha256 = fileSha256(path);
    if (sha256.isEmpty())
        fail(QStringLiteral("Cannot read %1 again to compute its checksum.").arg(QDir::toNativeSeparators(path)));
    manifest.addFile(relativePath, sha256);
}

void EvidencePackage::publish()
{
    // A target the user agreed to replace steps aside first and goes last,
    // so that a failed rename leaves it as it was.
    QString replaced;
    if (QFileInfo::exists(m_target)) {
        if (!replacesFolder(m_target)) {
            if (!QDir().rmdir(m_target))
                fail(QStringLiteral("Cannot replace the empty folder %1.").arg(QDir::toNativeSeparators(m_target)));
        } else {
            replaced = siblingPath(m_target, QStringLiteral(".replaced"));
            if (!QDir().rename(m_target, replaced))
                fail(QStringLiteral("Cannot move %1 aside to replace it.").arg(QDir::toNativeSeparators(m_target)));
        }
    }
    if (!QDir().rename(m_staging, m_target)) {
        if (!replaced.isEmpty())
            QDir().rename(replaced, m_target);
        fail(QStringLiteral("Cannot move the finished package to %1.").arg(QDir::toNativeSeparators(m_target)));
    }
    if (replaced.isEmpty())
        return;
    const bool removed = QFileInfo(replaced).isDir() ? QDir(replaced).removeRecursively() : QFile::remove(replaced);
    if (!removed)  // the package is in place; only the old copy's remains are left
        qWarning("What the package replaced could not be removed completely: %s", qUtf8Printable(replaced));
}

QString EvidencePackage::sourceText() const
{
    if (m_source.imei.isEmpty())
        return tr("local database %1").arg(m_source.databaseName);
    if (m_source.phoneModel.isEmpty())
        return tr("phone with IMEI %1").arg(m_source.imei);
    return tr("phone %1, IMEI %2").arg(m_source.phoneModel, m_source.imei);
}

QString EvidencePackage::localIsoDate(qint64 appleSeconds) const
{
    return LocalTimeOffsets::isoWithOffset(QDateTime::fromSecsSinceEpoch(appleSeconds + kAppleEpochUnixSeconds));
}

void EvidencePackage::Numbered::add(const _MsgMessage &message)
{
    ++count;
    const qint64 date = message.date;
    firstDate = firstDate ? std::min(*firstDate, date) : date;
    lastDate = lastDate ? std::max(*lastDate, date) : date;
    const QString name = message.chat ? chatDisplayName(*message.chat, true) : tr("(no conversation)");
    if (!seenConversations.contains(name)) {
        seenConversations.insert(name);
        conversations << name;
    }
}

QStringList EvidencePackage::coverLines() const
{
    QStringList lines{tr("Source: %1").arg(sourceText()),
                      tr("Exported: %1, time zone %2")
                          .arg(LocalTimeOffsets::isoWithOffset(m_exportTime),
                               QString::fromUtf8(QTimeZone::systemTimeZoneId())),
                      tr("Message count: %1").arg(m_numbered.count)};
    if (m_numbered.firstDate && m_numbered.lastDate) {
        lines << tr("First message: %1").arg(localIsoDate(*m_numbered.firstDate))
              << tr("Last message: %1").arg(localIsoDate(*m_numbered.lastDate));
    }
    lines << tr("Conversations: %1").arg(m_numbered.conversations.join(QLatin1String("; ")))
          << tr("Check the files of this folder with: sha256sum -c %1").arg(EvidenceManifest::kSha256Name);
    return lines;
}

void EvidencePackage::step(const QString &status)
{
    throwIfCancelled(m_form);
    ++m_done;
    const qint64 count = std::max<qint64>(m_expected, 1);
    const qint64 total = count * 3;  // the copies, then two passes over the pages
    if (m_pacer.due(m_done == total)) {
        const qint64 inPass = (m_done - 1) % count + 1;
        notifyProgress(m_form, status, progressPercent(m_done, total), tr("Messages: %1/%2").arg(inPass).arg(count));
    }
}
