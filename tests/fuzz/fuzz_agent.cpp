// libFuzzer target for what the phone agent sends: the input is a byte stream
// as it arrives on the socket, cut into lines the way the download reads them,
// and each line goes to the reader the download and the device exchange use
// for it ("$hello:", "$count:", "$sms:" records, "$atta:" headers, Base64
// data lines). Besides memory and undefined-behaviour faults it checks:
//  - a record's announced attachment count agrees with its full reading;
//  - a stored attachment name is usable and stays in its own folder;
//  - the fast Base64 reader decodes exactly as Qt's general one;
//  - the device's cache folder is made, inside android_cache.
#include "FuzzHome.h"

#include "android/AndroidDevice.h"
#include "android/Base64Decode.h"
#include "android/DownloadRecord.h"
#include "app/AppFolders.h"
#include "country/CountryLibDb.h"
#include "store/AttachmentPaths.h"
#include "store/MsgAttachment.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what, const QString &detail)
{
    if (condition)
        return;
    std::fprintf(stderr, "property broken: %s [%s]\n", what, qUtf8Printable(detail));
    std::abort();
}

// As the socket reader: lines end with a line feed, carriage returns are
// dropped, bytes are Latin-1.
QList<QString> agentLines(const QByteArray &input)
{
    QList<QString> lines;
    for (QByteArray line : input.split('\n')) {
        line.replace('\r', QByteArray());
        lines.append(QString::fromLatin1(line));
    }
    if (input.endsWith('\n'))
        lines.removeLast();  // nothing after the last terminator
    return lines;
}

bool isStorableName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    // Room for "(N)" and a temporary suffix within the systems' 255 bytes.
    if (name.toUtf8().size() > MaxSentFileNameBytes + 8)
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

class StreamReader
{
public:
    explicit StreamReader(CountryLibDb &countries)
        : m_countries(countries)
    {
    }

    // False once the line ends the exchange as readCommand would.
    bool read(const QString &line)
    {
        if (line.isEmpty())
            return false;  // "Null command."
        if (line.startsWith(QLatin1String("$error:")))
            return false;
        if (line.startsWith(QLatin1String("$hello:")))
            readHello(line.mid(7));
        else if (line.startsWith(QLatin1String("$count:")))
            (void)line.mid(7).toInt();
        else if (line.startsWith(QLatin1String("$sms:")))
            readRecord(line.mid(5));
        else if (line.startsWith(QLatin1String("$atta:")))
            readAttachmentHeader(line.mid(6));
        else
            readDataLine(line);
        return true;
    }

private:
    void readHello(const QString &text)
    {
        AndroidDevice device;
        device.applyInfoText(text);
        (void)device.displayName();
        const QString folder = device.cacheFolder();
        const QString cacheRoot = dataRootDir().absoluteFilePath(QStringLiteral("android_cache"));
        require(QFileInfo(folder).absolutePath() == cacheRoot, "cache folder inside android_cache", folder);
        require(QFileInfo(folder).isDir(), "cache folder created", folder);
        QDir(cacheRoot).rmdir(QFileInfo(folder).fileName());
    }

    void readRecord(const QString &argument)
    {
        m_usedNames.clear();
        m_record.reset();
        const int announced = DownloadRecord::attachmentsAnnounced(argument);
        DownloadRecord record;
        const bool read = DownloadRecord::parse(argument, record);
        require(read == (announced >= 0), "ignored records agree", argument);
        if (!read)
            return;
        require(record.attachmentCount == announced, "attachment counts agree", argument);
        (void)record.date();
        m_record = std::make_unique<RecordMessages>(record, m_countries.normalise(record.number));
        (void)m_record->message();
        if (m_record->hasOwnText())
            (void)m_record->textPart();
    }

    void readAttachmentHeader(const QString &argument)
    {
        AttachmentHeader header;
        if (!AttachmentHeader::parse(argument, header))
            return;
        const QString name = header.storedName(m_usedNames);
        require(isStorableName(name), "stored name usable", name);
        if (!m_record)
            return;
        if (header.use() == AttachmentHeader::Use::Text) {
            (void)m_record->plainTextPart(header.name);
            return;
        }
        _MsgAttachment attachment = m_record->mediaAttachment(header.mime, name, QString(), 0);
        (void)m_record->mediaPart(attachment);
        checkStoredPath(attachment);
    }

    // The file of the stored name lies directly in the attachment's own folder.
    static void checkStoredPath(const _MsgAttachment &attachment)
    {
        const QString relay = QStringLiteral("/relay");
        const QString path = attachmentFilePath(relay, attachment.filename);
        const QString guidFolder = QStringLiteral("%1/%2/%3/%4")
                                       .arg(attachmentsDir(relay), attachment.guid.left(2).toLower(),
                                            attachment.guid.mid(2, 2).toLower(), attachment.guid);
        require(QFileInfo(path).path() == guidFolder, "attachment file in its own folder", attachment.filename);
    }

    static void readDataLine(const QString &line)
    {
        require(decodeBase64(line) == QByteArray::fromBase64(line.toLatin1()), "Base64 readers agree", line);
    }

    CountryLibDb &m_countries;
    std::unique_ptr<RecordMessages> m_record;
    QSet<QString> m_usedNames;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzhome::useTemporaryHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A phone of a country with trunk prefix rules, so normalising does work.
    static CountryLibDb countries(QStringLiteral("262"));
    StreamReader reader(countries);
    for (const QString &line : agentLines(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)))) {
        if (!reader.read(line))
            break;
    }
    return 0;
}
