#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

class ExportOutput;
class LocalTimeOffsets;
class _MsgMessage;

// The two lists that let anyone check an evidence package:
//   manifest.json: `header`, then "files" (path and SHA-256 of the PDF and
//     of each attachment) and "messages", one row per message: "number",
//     "date_utc", "date_local" (ISO 8601 with the offset), "direction"
//     ("sent" or "received"), "address" (the sender of a received message,
//     the recipients of a sent one), "conversation", "text_sha256" (of the
//     text's UTF-8) and "attachments" (their names in the package; an
//     attachment that could not be read is named under "unreadable");
//   manifest.sha256: "<hex>  <path>" for every file, manifest.json included,
//     as `sha256sum -c manifest.sha256` reads it in the package folder.
class EvidenceManifest
{
public:
    static const QString kJsonName;
    static const QString kSha256Name;

    explicit EvidenceManifest(const QJsonObject &header);

    // `relativePath` uses "/" between folders.
    void addFile(const QString &relativePath, const QString &sha256);
    void addMessage(int number, const _MsgMessage &message, const QStringList &files, const QStringList &unreadable,
                    LocalTimeOffsets &offsets);

    // Writes both lists into `folder`. Throws std::runtime_error with the
    // system's reason when that fails.
    void write(const QString &folder, ExportOutput &output) const;

private:
    QJsonObject m_header;
    QJsonArray m_files;
    QJsonArray m_messages;
    QList<std::pair<QString, QString>> m_sums;  // path, SHA-256
};
