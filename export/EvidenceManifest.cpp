#include "export/EvidenceManifest.h"

#include "app/FileErrors.h"
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
#include <QDir>
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

// The waiting rows' file failed; `doing` says how ("write").
[[noreturn]] void throwRowsError(const QFileDevice &file, const char *doing)
{
    throw std::runtime_error(QStringLiteral("Cannot %1 %2: %3")
                                 .arg(QLatin1String(doing), QDir::toNativeSeparators(file.fileName()),
                                      fileErrorReason(file))
                                 .toStdString());
}

// Stands in the "messages" array for its rows, which are written where its line is.
const QString kRowsMark = QStringLiteral("the message rows");
// Rows are elements of an array inside the manifest's object: two levels in.
const QByteArray kRowIndent(8, ' ');
constexpr qint64 kCopyBlockBytes = 1 << 20;

// `row` as the indented manifest.json shows it among the messages.
QByteArray indentedRow(const QJsonObject &row)
{
    QByteArray text = QJsonDocument(row).toJson(QJsonDocument::Indented);
    text.chop(1);  // the document's closing line break
    text.replace('\n', QByteArray('\n' + kRowIndent));
    return kRowIndent + text;
}

} // namespace

const QString EvidenceManifest::kJsonName = QStringLiteral("manifest.json");
const QString EvidenceManifest::kSha256Name = QStringLiteral("manifest.sha256");

EvidenceManifest::EvidenceManifest(const QString &folder)
    : m_folder(folder)
    , m_rows(QDir(folder).filePath(QStringLiteral(".manifest.json-rows-XXXXXX")))
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
    openRows();
    const QByteArray text = (m_hasRows ? QByteArrayLiteral(",\n") : QByteArray()) + indentedRow(row);
    if (m_rows.write(text) != text.size())
        throwRowsError(m_rows, "write");
    m_hasRows = true;
}

void EvidenceManifest::openRows()
{
    if (!m_rows.isOpen() && !m_rows.open())
        throwRowsError(m_rows, "create");
}

void EvidenceManifest::write(const QJsonObject &header, ExportOutput &output)
{
    const QByteArray jsonSum = writeJson(header, output.reserveFile(m_folder, kJsonName));
    m_rows.remove();

    QByteArray sums;
    const auto addSum = [&sums](const QString &sha256, const QString &path) {
        sums += sha256.toLatin1() + "  " + path.toUtf8() + '\n';
    };
    for (const auto &[path, sha256] : m_sums)
        addSum(sha256, path);
    addSum(QString::fromLatin1(jsonSum.toHex()), kJsonName);
    writeFile(output.reserveFile(m_folder, kSha256Name), sums);
}

QByteArray EvidenceManifest::writeJson(const QJsonObject &header, const QString &path)
{
    QJsonObject manifest = header;
    manifest.insert(QStringLiteral("files"), m_files);
    manifest.insert(QStringLiteral("messages"), m_hasRows ? QJsonArray{kRowsMark} : QJsonArray());
    const QByteArray json = QJsonDocument(manifest).toJson(QJsonDocument::Indented);
    QFile file(path);
    openForWriting(file);
    QCryptographicHash sum(QCryptographicHash::Sha256);
    const auto put = [&file, &sum](const QByteArray &bytes) {
        file.write(bytes);
        sum.addData(bytes);
    };
    if (!m_hasRows) {
        put(json);
    } else {
        // A quote inside a JSON string is escaped: only the array's element
        // can be the mark between quotes at the start of a line.
        const QByteArray markLine = kRowIndent + '"' + kRowsMark.toUtf8() + '"';
        const qsizetype at = json.indexOf(markLine);
        if (at < 0)
            throw std::logic_error("The manifest has no place for its message rows.");
        put(json.left(at));
        flushOrThrow(m_rows);
        if (!m_rows.seek(0))
            throwRowsError(m_rows, "read");
        while (!m_rows.atEnd()) {
            const QByteArray block = m_rows.read(kCopyBlockBytes);
            if (block.isEmpty())
                throwRowsError(m_rows, "read");
            put(block);
        }
        put(json.mid(at + markLine.size()));
    }
    flushOrThrow(file);
    return sum.result();
}
