#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

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
//
// The message rows wait in a hidden file of the package folder, not in
// memory: a package may number a million messages.
class EvidenceManifest
{
public:
    static const QString kJsonName;
    static const QString kSha256Name;

    // Both lists go into `folder`, which exists.
    explicit EvidenceManifest(const QString &folder);

    // `relativePath` uses "/" between folders.
    void addFile(const QString &relativePath, const QString &sha256);
    // Throws std::runtime_error with the system's reason when the row cannot be kept.
    void addMessage(int number, const _MsgMessage &message, const QStringList &files, const QStringList &unreadable,
                    LocalTimeOffsets &offsets);

    // Writes both lists, `header` first, and removes the waiting rows.
    // Throws std::runtime_error with the system's reason when that fails.
    void write(const QJsonObject &header, ExportOutput &output);

private:
    // manifest.json: `header`, "files", and "messages" from the waiting rows.
    QByteArray writeJson(const QJsonObject &header, const QString &path);
    void openRows();

    QString m_folder;
    QJsonArray m_files;
    QList<std::pair<QString, QString>> m_sums;  // path, SHA-256
    QTemporaryFile m_rows;  // the "messages" rows as they appear in manifest.json, with their commas
    bool m_hasRows = false;
};
