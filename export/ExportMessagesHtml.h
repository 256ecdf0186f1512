#pragma once

#include "store/AbsFormatExport.h"
#include "store/MsgMessage.h"

#include <QFile>
#include <QSet>
#include <QString>
#include <QTextStream>

#include <optional>

class ExportOutput;
class _MsgAttachment;

// One conversation as an XHTML page in the export folder, with the bubble
// markup of the conversation view. Every link is relative and stays inside
// the export folder: attachments, thumbnails and contact cards are copied
// into its "files" folder under names of their own, the style sheet and the
// bubble pictures come from "files" (see copySupportFiles), and the emoji
// pictures a page shows are copied into "emoji" (only those: the full set
// has thousands of files). Messages go to the file as they come, so a long
// conversation never sits in memory as one text.
class ExportMessagesHtml : public AbsFormatExport<_MsgMessage>
{
public:
    // The page takes a free name in `folder` based on `fileName`.
    // Emoji pictures come from the "emoji" folder of `dataFolder`.
    ExportMessagesHtml(const QString &folder, const QString &fileName, const QString &dataFolder,
                       ExportOutput &output);

    void begin() override;
    void write(const _MsgMessage &message) override;
    void end() override;

    QString pagePath() const { return m_file.fileName(); }

    // Once per export folder: the "bubble" folder of `dataFolder` into
    // "files". Existing files are kept; a missing source folder is skipped.
    static void copySupportFiles(const QString &dataFolder, const QString &folder, ExportOutput &output);

private:
    std::optional<QString> attachmentContent(const _MsgAttachment &attachment);
    QString pictureContent(const QString &link, const QString &picture, const QString &copyName,
                           const QString &attributes, const QString &alt);
    // Copies a file into "files"; its relative link, empty when the file
    // cannot be read.
    QString copyIntoFiles(const QString &source, const QString &name);
    // Copies the emoji pictures `html` refers to that are not there yet.
    void copyEmojiPictures(const QString &html);

    ExportOutput &m_output;
    QString m_filesFolder;
    QString m_emojiSource;
    QString m_emojiFolder;
    QSet<QString> m_emojiCopied;  // keys of this page already checked
    QFile m_file;
    QTextStream m_stream;
    qint64 m_lastDateLine = 0;  // Unix seconds of the last date line
};
