#include "import/ArchiveMessageReader.h"

#include "import/ZipArchive.h"
#include "import/ZipEntryDevice.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QObject>

#include <stdexcept>

namespace {

const QString MessagesName = QStringLiteral("messages.ndjson");
const QString PartsFolder = QStringLiteral("data/");
const qint64 CopyChunk = 64 * 1024;

// A column's value: the app writes numbers as strings, but plain numbers are read too.
qint64 integerField(const QJsonObject &object, const QString &name, bool *ok)
{
    const QJsonValue value = object.value(name);
    if (value.isDouble()) {
        *ok = true;
        return qint64(value.toDouble());
    }
    return value.toString().toLongLong(ok);
}

QString textField(const QJsonObject &object, const QString &name)
{
    const QJsonValue value = object.value(name);
    return value.isString() ? value.toString() : QString();
}

} // namespace

ArchiveMessageReader::ArchiveMessageReader(const ZipArchive &archive, Parts parts)
    : m_archive(archive)
    , m_parts(parts)
{
    const ZipEntry *messages = archive.entry(MessagesName);
    if (!messages) {
        throw std::runtime_error(QObject::tr("%1 is no SMS Import/Export archive: it holds no %2.")
                                     .arg(archive.path(), MessagesName)
                                     .toStdString());
    }
    m_lines = archive.open(*messages);
}

ArchiveMessageReader::~ArchiveMessageReader() = default;

qint64 ArchiveMessageReader::bytesRead() const
{
    return m_lines->position();
}

qint64 ArchiveMessageReader::size() const
{
    return m_lines->size();
}

bool ArchiveMessageReader::next(SmsBackupRecord &record)
{
    for (;;) {
        const QByteArray line = m_lines->readLine();
        if (m_lines->damaged())
            throw std::runtime_error(m_lines->errorString().toStdString());
        if (line.isEmpty())
            return false;
        ++m_line;
        if (line.trimmed().isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            fail(QObject::tr("not a JSON object (%1)").arg(error.errorString()));
        record = SmsBackupRecord();
        record.line = m_line;
        const QJsonObject object = document.object();
        if (object.contains(QStringLiteral("__parts")) || object.contains(QStringLiteral("msg_box")))
            readMms(object, record);
        else
            readSms(object, record);
        return true;
    }
}

void ArchiveMessageReader::readSms(const QJsonObject &object, SmsBackupRecord &record) const
{
    bool ok = false;
    record.kind = SmsBackupRecord::Sms;
    record.dateMs = integerField(object, QStringLiteral("date"), &ok);
    if (!ok)
        fail(QObject::tr("the message has no valid date"));
    record.fromMe = integerField(object, QStringLiteral("type"), &ok) >= 2;
    record.address = textField(object, QStringLiteral("address"));
    record.body = textField(object, QStringLiteral("body"));
    record.contactName = textField(object, QStringLiteral("__display_name"));
}

void ArchiveMessageReader::readMms(const QJsonObject &object, SmsBackupRecord &record) const
{
    bool ok = false;
    record.kind = SmsBackupRecord::Mms;
    record.dateMs = integerField(object, QStringLiteral("date"), &ok) * 1000;  // seconds
    if (!ok)
        fail(QObject::tr("the message has no valid date"));
    record.fromMe = integerField(object, QStringLiteral("msg_box"), &ok) >= 2;
    record.subject = textField(object, QStringLiteral("sub"));
    for (const QJsonValue &address : addressesOf(object)) {
        const QJsonObject fields = address.toObject();
        SmsBackupAddress entry;
        entry.address = textField(fields, QStringLiteral("address"));
        entry.role = int(integerField(fields, QStringLiteral("type"), &ok));
        record.addresses.push_back(entry);
    }
    if (!record.fromMe && record.addresses.size() > 2) {
        // Received by a group: the sender and every recipient, the phone
        // among them; the import leaves out the numbers it knows for the
        // phone's own (PhoneOwnNumbers). (With one recipient, that one is the
        // phone.)
        QStringList parties;
        for (const SmsBackupAddress &entry : record.addresses)
            parties.append(entry.address);
        record.address = parties.join(QLatin1Char('~'));
    }
    if (m_parts == Parts::Skipped)
        return;
    for (const QJsonValue &part : object.value(QStringLiteral("__parts")).toArray())
        readPart(part.toObject(), record);
}

QJsonArray ArchiveMessageReader::addressesOf(const QJsonObject &object)
{
    if (object.contains(QStringLiteral("__addresses")))
        return object.value(QStringLiteral("__addresses")).toArray();
    QJsonArray addresses;
    const QJsonValue sender = object.value(QStringLiteral("__sender_address"));
    if (sender.isObject())
        addresses.append(sender);
    for (const QJsonValue &recipient : object.value(QStringLiteral("__recipient_addresses")).toArray())
        addresses.append(recipient);
    return addresses;
}

void ArchiveMessageReader::readPart(const QJsonObject &part, SmsBackupRecord &record) const
{
    SmsBackupPart entry;
    entry.mime = textField(part, QStringLiteral("ct"));
    if (entry.mime.compare(QLatin1String("application/smil"), Qt::CaseInsensitive) == 0)
        return;  // the layout, which no message keeps
    entry.name = textField(part, QStringLiteral("name"));
    if (entry.name.isEmpty())
        entry.name = textField(part, QStringLiteral("cl"));
    if (entry.isPlainText() && part.contains(QStringLiteral("text"))) {
        entry.text = textField(part, QStringLiteral("text"));
    } else {
        const QString stored = QFileInfo(textField(part, QStringLiteral("_data"))).fileName();
        if (stored.isEmpty())
            return;  // a part without a file has nothing to keep
        entry.file = copiedPart(stored, &entry.bytes);
        if (entry.isPlainText())
            entry.text = entry.file->text();
    }
    record.parts.push_back(std::move(entry));
}

std::unique_ptr<TemporaryPartFile> ArchiveMessageReader::copiedPart(const QString &name, qint64 *bytes) const
{
    const ZipEntry *entry = m_archive.entry(PartsFolder + name);
    if (!entry)
        fail(QObject::tr("the part file %1 is not in the archive").arg(PartsFolder + name));
    const std::unique_ptr<ZipEntryDevice> source = m_archive.open(*entry);
    auto file = std::make_unique<TemporaryPartFile>();
    for (;;) {
        const QByteArray chunk = source->read(CopyChunk);
        if (source->damaged())
            throw std::runtime_error(source->errorString().toStdString());
        if (chunk.isEmpty())
            break;
        file->append(chunk);
    }
    file->finish();
    *bytes = entry->size;
    return file;
}

void ArchiveMessageReader::fail(const QString &what) const
{
    throw std::runtime_error(QObject::tr("%1, line %2: %3.").arg(MessagesName).arg(m_line).arg(what).toStdString());
}
