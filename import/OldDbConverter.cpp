#include "import/OldDbConverter.h"

#include "app/AppFolders.h"
#include "country/CountryLibDb.h"
#include "store/AppleTime.h"
#include "store/AttachmentBody.h"
#include "store/AttachmentPaths.h"
#include "store/ExportMessagesDb.h"
#include "store/MessageIds.h"
#include "store/MessageText.h"
#include "store/MsgAttachment.h"
#include "store/Sqlite3DB.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

const QLatin1String kOldFileName("mms.db");
const QLatin1String kRetiredFileName("mms.db-bak");
const QLatin1String kStagingName("mms-upgrade.partial");
const QLatin1String kFileRelayName("file-relay");

// The old row id is asked for by name: "m.*" holds it only when the old
// table declared it as a column. A message whose handle row is missing is
// kept too: it has its text and parts, only not its number.
const QLatin1String kRowsSql("select m.rowid as _old_rowid, m.*, h.address as _handle_address, "
                             "h.person as _handle_person from message as m "
                             "left join handle as h on m.handle_id=h.rowid");
// The conversation of messages whose number is not known.
const QLatin1String kUnknownAddress("Unknown");
// The type of a part stored without one: bytes of an unknown kind.
const QLatin1String kUnknownMime("application/octet-stream");
const QLatin1String kPartsSql("select ma.message_id as _old_message, a.* from attachment as a "
                              "inner join message_attachment as ma on ma.attachment_id=a.rowid "
                              "order by ma.message_id, a.rowid");

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

QString utiOfMime(const QString &mime)
{
    const qsizetype slash = mime.indexOf(QLatin1Char('/'));
    return QStringLiteral("public.") + (slash < 0 ? QString() : mime.mid(slash + 1));
}

QString storedAttachmentName(const QString &guid, const QString &fileName)
{
    return QStringLiteral("~/Library/SMS/Attachments/%1/%2/%3/%4")
        .arg(guid.left(2).toLower(), guid.mid(2, 2).toLower(), guid, fileName);
}

int rowCount(Sqlite3DB &old)
{
    Sqlite3Cursor count = old.queryThrow(QStringLiteral("select count(*) from (%1)").arg(kRowsSql));
    return count.moveNext() ? count.getInt(0) : 0;
}

} // namespace

OldDbConverter::OldDbConverter(const QString &sourceFolder, const QString &targetFolder)
    : m_source(QDir::cleanPath(QDir(sourceFolder).absolutePath()))
    , m_target(QDir::cleanPath(QDir(targetFolder).absolutePath()))
    , m_countries(std::make_unique<CountryLibDb>())
{
}

OldDbConverter::~OldDbConverter() = default;

QString OldDbConverter::stagingFolder(const QString &targetFolder)
{
    return QDir(targetFolder).filePath(kStagingName);
}

void OldDbConverter::run(const RowProgress &progress)
{
    if (!QDir().mkpath(m_target))
        fail(QStringLiteral("create folder %1 error.").arg(QDir::toNativeSeparators(m_target)));
    const QString staging = stagingFolder(m_target);
    QDir(staging).removeRecursively();  // left by a run that did not finish

    if (QFileInfo::exists(QDir(m_target).filePath(kFileRelayName))) {
        convertInto(m_target, progress);
    } else {
        try {
            convertInto(staging, progress);
            moveStagedDatabase(staging);
        } catch (...) {
            QDir(staging).removeRecursively();
            throw;
        }
    }
    retireOldFile();
}

void OldDbConverter::convertInto(const QString &folder, const RowProgress &progress)
{
    Sqlite3DB old;
    old.openThrow(QDir(m_source).filePath(kOldFileName), Sqlite3DB::OpenReadWrite);
    const int total = rowCount(old);
    loadParts(old);

    m_writer = std::make_unique<ExportMessagesDb>(folder, QString());
    try {
        m_writer->begin();
        Sqlite3Cursor rows = old.queryThrow(QString(kRowsSql));
        int done = 0;
        while (rows.moveNext()) {
            convertRow(rows);
            if (progress)
                progress(++done, total);
        }
        m_writer->end();  // commits and closes
    } catch (...) {
        m_writer.reset();  // rolls back and takes back the files it copied
        throw;
    }
    m_writer.reset();
}

void OldDbConverter::loadParts(Sqlite3DB &old)
{
    m_parts.clear();
    Sqlite3Cursor parts = old.queryThrow(QString(kPartsSql));
    while (parts.moveNext()) {
        m_parts[parts.getInt64(QStringLiteral("_old_message"))].append(
            {parts.getText(QStringLiteral("filename")), parts.getText(QStringLiteral("mime_type"))});
    }
}

void OldDbConverter::convertRow(const Sqlite3Cursor &row)
{
    const _MsgMessage base = baseMessage(row);
    _MsgMessage own = base;
    own.text = hashText(base);
    if (!own.text.isEmpty())
        writeRenamed(own);
    writeParts(row.getInt64(QStringLiteral("_old_rowid")), base);
}

_MsgMessage OldDbConverter::baseMessage(const Sqlite3Cursor &row)
{
    m_handle = _MsgHandle();
    m_handle.id = handleAddress(row);
    m_handle.service = QStringLiteral("SMS");
    m_handle._ct_name = row.getText(QStringLiteral("_handle_person"));

    m_chat = _MsgChat();
    m_chat.guid = QStringLiteral("SMS;-;") + m_handle.id;
    m_chat.chat_identifier = m_handle.id;
    m_chat.style = 45;
    m_chat.state = 3;
    m_chat.service_name = QStringLiteral("SMS");
    m_chat.account_login = QStringLiteral("E:");
    m_chat.handles.insert(m_handle.id, &m_handle);

    _MsgMessage message;
    message.handle = &m_handle;
    message.chat = &m_chat;
    message.text = row.getText(QStringLiteral("body"));
    message.subject = row.getText(QStringLiteral("subject"));
    message.replace = 0;
    message.version = 10;
    message.type = 0;
    message.service = QStringLiteral("SMS");
    message.account = QStringLiteral("e:");
    message.error = 0;
    message.date = unixTimeToAppleTime(row.getInt64(QStringLiteral("date")));
    message.date_read = message.date;
    message.date_delivered = message.date;
    message.is_from_me = row.getInt64(QStringLiteral("is_send")) != 0 ? 1 : 0;
    message.is_finished = 1;
    message.is_prepared = 1;
    message.is_read = 1;
    message.is_sent = 1;
    message.was_data_detected = 1;
    return message;
}

QString OldDbConverter::handleAddress(const Sqlite3Cursor &row) const
{
    // Without its handle row, a message may still carry a number of its own
    // (a column some old files have); otherwise it joins the unknown ones.
    for (const QLatin1String column : {QLatin1String("_handle_address"), QLatin1String("address")}) {
        const QString address = row.getText(column);
        if (!address.trimmed().isEmpty())
            return m_countries->normalise(address);
    }
    return kUnknownAddress;
}

void OldDbConverter::writeParts(qint64 oldRowid, const _MsgMessage &base)
{
    // Every part with a file becomes an attachment, whatever its type: the
    // old file is retired afterwards, so what is left out here is lost. Only
    // the slide layout goes: it is no one's content, and downloads leave it
    // out too.
    for (const OldPart &part : m_parts.value(oldRowid)) {
        if (part.mime.compare(QLatin1String("application/smil"), Qt::CaseInsensitive) == 0)
            continue;
        if (part.mime.compare(QLatin1String("text/plain"), Qt::CaseInsensitive) == 0)
            writeTextPart(base, part.filename);
        else
            writeMediaPart(base, part.filename, part.mime.isEmpty() ? QString(kUnknownMime) : part.mime);
    }
}

void OldDbConverter::writeTextPart(const _MsgMessage &base, const QString &name)
{
    const QString path = sourceFile(name);
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return;  // the text is lost with its file; the rest of the message is not
    _MsgMessage part = base;
    part.text = QString::fromUtf8(file.readAll());
    if (part.text.trimmed().isEmpty())
        return;
    writeRenamed(part);
}

void OldDbConverter::writeMediaPart(const _MsgMessage &base, const QString &name, const QString &mime)
{
    // Derived from the path, so every old message that names this file links
    // the same attachment row and the file is stored once.
    const QString relativePath = QStringLiteral("attachments/") + name;
    const QString fileName = QFileInfo(relativePath).fileName();
    _MsgAttachment attachment;
    attachment.guid = guidFromBytes(relativePath.toUtf8());
    attachment.created_date = base.date;
    attachment.filename = storedAttachmentName(attachment.guid, fileName);
    attachment.localPath = sourceFile(name);
    attachment.mime_type = mime;
    attachment.uti = utiOfMime(mime);
    attachment.transfer_state = 5;
    attachment.is_outgoing = base.is_from_me;
    attachment.transfer_name = fileName;

    _MsgMessage part = base;
    part.attachments.insert(attachment.guid, &attachment);
    part.text = QString(QChar(0xFFFC));
    part.attributedBody = attachmentAttributedBody(attachment.guid);
    writeRenamed(part);
}

void OldDbConverter::writeRenamed(_MsgMessage &message)
{
    message.guid = guidFromBytes(logicHash(message).toUtf8());
    m_writer->write(message);
}

QString OldDbConverter::sourceFile(const QString &name) const
{
    // The name comes from the old file: it must not reach beyond its folder.
    return pathInsideFolder(QDir(m_source).filePath(QStringLiteral("attachments")), name);
}

void OldDbConverter::moveStagedDatabase(const QString &staging)
{
    const QString from = QDir(staging).filePath(kFileRelayName);
    const QString to = QDir(m_target).filePath(kFileRelayName);
    if (!QDir().rename(from, to))
        fail(QStringLiteral("move %1 to %2 error.").arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to)));
    QDir(staging).removeRecursively();
}

void OldDbConverter::retireOldFile()
{
    const QString old = QDir(m_source).filePath(kOldFileName);
    // A backup left by an earlier conversion is kept: this one gets a free name.
    const QString retired = uniqueFilePath(QDir(m_source).filePath(kRetiredFileName));
    if (!QFile::rename(old, retired))
        fail(QStringLiteral("rename %1 error.").arg(QDir::toNativeSeparators(old)));
}
