#include "import/SmsBackupXmlReader.h"

#include "android/Base64Decode.h"

#include <stdexcept>

namespace {

// The format writes the word "null" for values a message does not have.
QString optionalText(const QXmlStreamAttributes &attributes, QLatin1String name)
{
    const QStringView value = attributes.value(name);
    return value == u"null" ? QString() : value.toString();
}

// The first of the names a part may carry: name, content location, file name.
QString partName(const QXmlStreamAttributes &attributes)
{
    for (const char *key : {"name", "cl", "fn"}) {
        const QString value = optionalText(attributes, QLatin1String(key));
        if (!value.isEmpty())
            return value;
    }
    return QString();
}

// The contact name; the app writes "(Unknown)" for numbers not in the
// address book, which would otherwise stand for the number everywhere.
QString contactName(const QXmlStreamAttributes &attributes)
{
    const QString name = optionalText(attributes, QLatin1String("contact_name"));
    return name == QLatin1String("(Unknown)") ? QString() : name;
}

bool isSmil(QStringView mime)
{
    return mime.compare(u"application/smil", Qt::CaseInsensitive) == 0;
}

} // namespace

SmsBackupXmlReader::SmsBackupXmlReader(QIODevice *file)
    : m_filter(file)
    , m_diverter(&m_filter)
    , m_xml(&m_diverter)
{
}

bool SmsBackupXmlReader::next(SmsBackupRecord &record)
{
    if (!m_rootSeen)
        readRoot();
    while (m_xml.readNextStartElement()) {
        record = SmsBackupRecord();
        record.line = m_xml.lineNumber();
        if (m_xml.name() == u"sms") {
            readSms(record);
            return true;
        }
        if (m_xml.name() == u"mms") {
            readMms(record);
            return true;
        }
        m_xml.skipCurrentElement();  // whatever later versions add
    }
    failOnReaderError();
    // </smses> has been read; the reader still checks that nothing follows.
    while (!m_xml.atEnd())
        m_xml.readNext();
    failOnReaderError();
    return false;
}

void SmsBackupXmlReader::readRoot()
{
    if (!m_xml.readNextStartElement()) {
        failOnReaderError();
        fail(QStringLiteral("the file holds no XML element."));
    }
    if (m_xml.name() != u"smses")
        fail(QStringLiteral("not an SMS Backup & Restore file (its first element is <%1>, not <smses>).")
                 .arg(m_xml.name()));
    m_rootSeen = true;
}

void SmsBackupXmlReader::readSms(SmsBackupRecord &record)
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    record.kind = SmsBackupRecord::Sms;
    record.dateMs = dateAttribute();
    // 1 received; 2 sent, and 3-6 (draft, outbox, failed, queued) were on
    // their way out.
    record.fromMe = attributes.value(QLatin1String("type")).toInt() >= 2;
    record.address = attributes.value(QLatin1String("address")).toString();
    record.contactName = contactName(attributes);
    record.body = attributes.value(QLatin1String("body")).toString();
    record.subject = optionalText(attributes, QLatin1String("subject"));
    m_xml.skipCurrentElement();
    failOnReaderError();
}

void SmsBackupXmlReader::readMms(SmsBackupRecord &record)
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    record.kind = SmsBackupRecord::Mms;
    record.dateMs = dateAttribute();
    // 1 inbox; 2 sent, and the boxes after it (drafts, outbox) are outgoing.
    record.fromMe = attributes.value(QLatin1String("msg_box")).toInt() >= 2;
    record.address = optionalText(attributes, QLatin1String("address"));
    record.contactName = contactName(attributes);
    record.subject = optionalText(attributes, QLatin1String("sub"));
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == u"parts")
            readParts(record);
        else if (m_xml.name() == u"addrs")
            readAddresses(record);
        else
            m_xml.skipCurrentElement();
    }
    failOnReaderError();
}

void SmsBackupXmlReader::readParts(SmsBackupRecord &record)
{
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == u"part")
            readPart(record);
        else
            m_xml.skipCurrentElement();
    }
    failOnReaderError();
}

void SmsBackupXmlReader::readPart(SmsBackupRecord &record)
{
    const QXmlStreamAttributes attributes = m_xml.attributes();
    const QStringView mime = attributes.value(QLatin1String("ct"));
    const QStringView data = attributes.value(QLatin1String("data"));
    SmsBackupPart part;
    part.mime = mime.toString();
    part.name = partName(attributes);
    const bool hasText = attributes.hasAttribute(QLatin1String("text"));
    const bool wantsData = !isSmil(mime) && !(part.isPlainText() && hasText);
    // Diverted data is claimed even when unwanted, so its file goes now.
    std::unique_ptr<TemporaryPartFile> file;
    if (!data.isEmpty() && (wantsData || XmlPartDataDiverter::isToken(data)))
        file = partFile(data, &part.bytes);
    if (isSmil(mime)) {
        // Layout only: nothing of it is kept.
    } else if (part.isPlainText()) {
        part.text = hasText ? attributes.value(QLatin1String("text")).toString() : file ? file->text() : QString();
        record.parts.push_back(std::move(part));
    } else if (file) {
        part.file = std::move(file);
        record.parts.push_back(std::move(part));
    }
    m_xml.skipCurrentElement();
    failOnReaderError();
}

void SmsBackupXmlReader::readAddresses(SmsBackupRecord &record)
{
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == u"addr") {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            SmsBackupAddress address;
            address.address = optionalText(attributes, QLatin1String("address"));
            address.role = attributes.value(QLatin1String("type")).toInt();
            record.addresses.push_back(address);
        }
        m_xml.skipCurrentElement();
    }
    failOnReaderError();
}

std::unique_ptr<TemporaryPartFile> SmsBackupXmlReader::partFile(QStringView data, qint64 *bytes)
{
    if (XmlPartDataDiverter::isToken(data)) {
        std::unique_ptr<TemporaryPartFile> file = m_diverter.takePart(data, bytes);
        if (!file)
            fail(QStringLiteral("the data of a <part> element went missing."));
        return file;
    }
    // Data the diverter did not recognise as such (never seen in files of
    // the app): decoded here.
    auto file = std::make_unique<TemporaryPartFile>();
    const QByteArray decoded = decodeBase64(data);
    file->append(decoded);
    file->finish();
    *bytes = decoded.size();
    return file;
}

qint64 SmsBackupXmlReader::dateAttribute()
{
    bool ok = false;
    const qint64 date = m_xml.attributes().value(QLatin1String("date")).toLongLong(&ok);
    if (!ok)
        fail(QStringLiteral("the <%1> element has no valid date.").arg(m_xml.name()));
    return date;
}

void SmsBackupXmlReader::fail(const QString &what) const
{
    throw std::runtime_error(QStringLiteral("Line %1: %2").arg(m_xml.lineNumber()).arg(what).toStdString());
}

void SmsBackupXmlReader::failOnReaderError() const
{
    if (m_xml.hasError())
        fail(m_xml.errorString());
}
