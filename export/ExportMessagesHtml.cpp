#include "export/ExportMessagesHtml.h"

#include "app/AppFolders.h"
#include "app/AppInfo.h"
#include "export/ExportFile.h"
#include "export/ExportOutput.h"
#include "store/AttachmentBody.h"
#include "store/MsgAttachment.h"
#include "views/BubbleHtml.h"
#include "views/BubblePage.h"
#include "views/ContactCard.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QString kFilesFolder = QStringLiteral("files");
const QString kEmojiFolder = QStringLiteral("emoji");
const QString kPlaceholderPicture = QStringLiteral("empty_photo.jpg");

// Only names the emoji scanner makes ("1F604.png"): whatever else the markup
// holds never becomes a path to copy from or to.
bool isEmojiPictureName(const QString &name)
{
    static const QRegularExpression pictureName(QStringLiteral("^[0-9A-F]{1,6}\\.png$"));
    return pictureName.match(name).hasMatch();
}

// The thumbnails are at most 120 pixels and the cards 200 x 90; the sizes
// keep them so in every browser.
const QString kThumbnailAttributes = QStringLiteral("style=\"max-width:120px;max-height:120px\"");
const QString kCardAttributes = QStringLiteral("style=\"max-width:200px;max-height:200px\"");

// A GIF keeps its motion, and WebP or BMP their look, when the page shows
// the copy itself; photographs get a small thumbnail instead.
bool browserShowsOriginal(const QString &path)
{
    const QByteArray format = QImageReader::imageFormat(path);
    return !format.isEmpty() && !isJpegFormat(format) && format != "png";
}

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString linkedLabel(const QString &link, const QString &label)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(xmlEscaped(link), label);
}

void copyFolderFiles(const QString &source, const QString &target, ExportOutput &output)
{
    const QDir from(source);
    if (!from.exists())
        return;
    output.makeFolder(target);
    for (const QFileInfo &file : from.entryInfoList(QDir::Files, QDir::Unsorted))
        output.copyFileIfMissing(file.absoluteFilePath(), target, file.fileName());
}

} // namespace

ExportMessagesHtml::ExportMessagesHtml(const QString &folder, const QString &fileName, const QString &dataFolder,
                                       ExportOutput &output)
    : m_output(output)
    , m_filesFolder(QDir(folder).absoluteFilePath(kFilesFolder))
    , m_emojiSource(QDir(dataFolder).absoluteFilePath(kEmojiFolder))
    , m_emojiFolder(QDir(folder).absoluteFilePath(kEmojiFolder))
    , m_file(output.reserveFile(folder, fileName))
{
}

void ExportMessagesHtml::copySupportFiles(const QString &dataFolder, const QString &folder, ExportOutput &output)
{
    const QDir data(dataFolder);
    const QDir target(folder);
    output.makeFolder(target.absoluteFilePath(kFilesFolder));
    copyFolderFiles(data.absoluteFilePath(QStringLiteral("bubble")), target.absoluteFilePath(kFilesFolder), output);
}

void ExportMessagesHtml::copyEmojiPictures(const QString &html)
{
    static const QLatin1String marker("src=\"emoji/");
    for (qsizetype at = html.indexOf(marker); at >= 0; at = html.indexOf(marker, at + 1)) {
        const qsizetype start = at + marker.size();
        const QString name = html.mid(start, html.indexOf(QLatin1Char('"'), start) - start);
        if (!isEmojiPictureName(name) || m_emojiCopied.contains(name))
            continue;
        m_emojiCopied.insert(name);
        const QString source = QDir(m_emojiSource).absoluteFilePath(name);
        if (!QFileInfo(source).isFile())
            continue;  // no picture for this one: the browser shows its frame
        m_output.makeFolder(m_emojiFolder);
        m_output.copyFileIfMissing(source, m_emojiFolder, name);
    }
}

void ExportMessagesHtml::begin()
{
    openForWriting(m_file);
    m_stream.setDevice(&m_file);
    m_stream.setEncoding(QStringConverter::Utf8);
    m_stream << "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
                "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
                "<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
             << QStringLiteral("<title>%1</title>\n").arg(xmlEscaped(AppInfo::productTitle()))
             << "<link href=\"files/style.css\" type=\"text/css\" rel=\"stylesheet\"/></head><body>\n";
}

void ExportMessagesHtml::write(const _MsgMessage &message)
{
    const QString html = messageBodyHtml(
        message, m_lastDateLine, [this](const _MsgAttachment &attachment) { return attachmentContent(attachment); });
    copyEmojiPictures(html);
    m_stream << html << '\n';
}

void ExportMessagesHtml::end()
{
    m_stream << "</body></html>";
    flushOrThrow(m_stream, m_file);
    m_file.close();
}

QString ExportMessagesHtml::copyIntoFiles(const QString &source, const QString &name)
{
    const QString copy = m_output.copyReadableFile(source, m_filesFolder, name);
    if (copy.isEmpty())
        return QString();
    // Percent-encoded, so that "#", "?" or "%" in a name do not cut the link.
    return kFilesFolder + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(copy));
}

QString ExportMessagesHtml::pictureContent(const QString &link, const QString &picture, const QString &name,
                                           const QString &attributes, const QString &alt)
{
    QString source = isExistingFile(picture) ? copyIntoFiles(picture, name) : QString();
    if (source.isEmpty())
        source = kFilesFolder + QLatin1Char('/') + kPlaceholderPicture;
    return linkedPicture(link, source, attributes, alt);
}

std::optional<QString> ExportMessagesHtml::attachmentContent(const _MsgAttachment &attachment)
{
    if (mimeIs(attachment, QLatin1String("text/plain")))
        return attachmentBubbleContent(attachment);  // the text itself, as in the view

    const QString copy = isExistingFile(attachment.localPath)
                             ? copyIntoFiles(attachment.localPath, attachmentCopyName(attachment.localPath))
                             : QString();
    const bool present = !copy.isEmpty();  // an unreadable file shows as a missing one
    const QString link = present ? copy : QStringLiteral("#");
    if (mimeStartsWith(attachment, QLatin1String("image/"))) {
        if (present && browserShowsOriginal(attachment.localPath))
            return linkedPicture(link, link, kThumbnailAttributes, attachmentAltText(attachment));
        const QString thumbnail = present ? attachmentThumbnail(attachment) : QString();
        return pictureContent(link, thumbnail, attachmentCopyName(attachment.localPath, QStringLiteral("_thumb")),
                              kThumbnailAttributes, attachmentAltText(attachment));
    }
    if (mimeStartsWith(attachment, QLatin1String("video/")))
        return linkedLabel(link, QStringLiteral("[VIDEO]"));
    if (mimeStartsWith(attachment, QLatin1String("audio/")))
        return linkedLabel(link, QStringLiteral("[AUDIO]"));
    if (mimeIs(attachment, QLatin1String("text/x-vCard")) || mimeIs(attachment, QLatin1String("text/vcard"))) {
        const QString card = present ? renderContactCard(attachment.localPath) : QString();
        if (isExistingFile(card)) {
            return pictureContent(link, card, attachmentCopyName(QFileInfo(attachment.localPath).completeBaseName() + QStringLiteral("_card.jpg")),
                                  kCardAttributes, attachmentAltText(attachment));
        }
        return linkedLabel(link, QStringLiteral("[VCARD]"));
    }
    return linkedLabel(link, QStringLiteral("[ATTACHMENT]"));
}
