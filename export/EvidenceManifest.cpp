#include "export/EvidenceManifest.h"

#include "export/ExportFile.h"
#include "export/ExportOutput.h"
#include "export/LocalTimeOffsets.h"
#include "store/AppleTime.h"
#include "store/MessageText.h"
#include "store/MsgChat.h"
#include "store/MsgHandle.h"
#include "store/MsgMessage.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>

#include <stdexcept>

namespace {

QString recipientsOf(const _MsgChat *chat)
{
    if (!chat)
        return QString();
    QStringList addresses;
    for (const _MsgHandle *handle : chat->handles) {
        if (handle)
            addresses.append(handle->id);
    }
    return addresses.join(QLatin1String(", "));
}

QString addressOf(const _MsgMessage &message)
{
    if (message.is_from_me == 0 && message.handle)
        return message.handle->id;
    return recipientsOf(message.chat);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    openForWriting(file);
    file.write(bytes);
    flushOrThrow(file);
}

} // namespace

const QString EvidenceManifest::kJsonName = QStringLiteral("manifest.json");
const QString EvidenceManifest::kSha256Name = QStringLiteral("manifest.sha256");

EvidenceManifest::EvidenceManifest(const QJsonObject &header)
    : m_header(header)
{
}

void EvidenceManifest::addFile(const QString &relativePath, const QString &sha256)
{
    m_files.append(QJsonObject{{QStringLiteral("path"), relativePath}, {QStringLiteral("sha256"), sha256}});
    m_sums.append({relativePath, sha256});
}

void EvidenceManifest::addMessage(int number, const _MsgMessage &message, const QStringList &files,
                                  const QStringList &unreadable, LocalTimeOffsets &offsets)
{
    const qint64 unixSeconds = qint64(message.date) + kAppleEpochUnixSeconds;
    const QByteArray textHash = QCryptographicHash::hash(hashText(message).toUtf8(), QCryptographicHash::Sha256);
    QJsonObject row{
        {QStringLiteral("number"), number},
        {QStringLiteral("date_utc"), QDateTime::fromSecsSinceEpoch(unixSeconds, Qt::UTC).toString(Qt::ISODate)},
        {QStringLiteral("date_local"), LocalTimeOffsets::isoWithOffset(offsets.localDateTime(unixSeconds))},
        {QStringLiteral("direction"), message.is_from_me != 0 ? QStringLiteral("sent") : QStringLiteral("received")},
        {QStringLiteral("address"), addressOf(message)},
        {QStringLiteral("conversation"), message.chat ? message.chat->chat_identifier : QString()},
        {QStringLiteral("text_sha256"), QString::fromLatin1(textHash.toHex())},
        {QStringLiteral("attachments"), QJsonArray::fromStringList(files)}};
    if (!unreadable.isEmpty())
        row.insert(QStringLiteral("unreadable"), QJsonArray::fromStringList(unreadable));
    m_messages.append(row);
}

void EvidenceManifest::write(const QString &folder, ExportOutput &output) const
{
    QJsonObject manifest = m_header;
    manifest.insert(QStringLiteral("files"), m_files);
    manifest.insert(QStringLiteral("messages"), m_messages);
    const QByteArray json = QJsonDocument(manifest).toJson(QJsonDocument::Indented);
    writeFile(output.reserveFile(folder, kJsonName), json);

    QByteArray sums;
    const auto addSum = [&sums](const QString &sha256, const QString &path) {
        sums += sha256.toLatin1() + "  " + path.toUtf8() + '\n';
    };
    for (const auto &[path, sha256] : m_sums)
        addSum(sha256, path);
    addSum(QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex()), kJsonName);
    writeFile(output.reserveFile(folder, kSha256Name), sums);
}
