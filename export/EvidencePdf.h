#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <functional>

class LocalTimeOffsets;
class MessagePagePainter;
class QIODevice;
class _MsgMessage;

// The PDF of an evidence package: a cover, then every message in the given
// order under its number, its local date with the offset from UTC and the
// names of its attachment copies, drawn as the PDF export draws it (the
// sender above each received message of a group). Every page says
// "Page X of Y"; Y is right because the pages are drawn twice, once to count
// them and once to keep them.
class EvidencePdf
{
    Q_DECLARE_TR_FUNCTIONS(EvidencePdf)
public:
    struct Entry
    {
        const _MsgMessage *message = nullptr;
        QStringList files;  // its attachments' names in the package
    };
    using EntryVisit = std::function<void(const Entry &)>;
    // Gives every entry in the order of the pages to the visit, each valid
    // during its call; called once for each pass.
    using EntryWalk = std::function<void(const EntryVisit &visit)>;

    // `dataFolder` holds the bubble pictures. The cover shows `title` and then
    // `coverLines`, one paragraph each.
    EvidencePdf(const QString &dataFolder, const QString &title, const QStringList &coverLines, EntryWalk entries);

    // Writes the file `path`, calling `step` after each message of each of
    // the two passes (it may throw to stop); returns the number of pages.
    // Throws std::runtime_error with the system's reason when writing fails.
    int write(const QString &path, const std::function<void()> &step) const;

private:
    // Draws everything onto a PDF written to `device`; the pages drawn.
    int drawAll(QIODevice &device, int pageCount, const std::function<void()> &step) const;
    void drawCover(MessagePagePainter &pages) const;
    QString entryLabel(int number, const Entry &entry, LocalTimeOffsets &offsets) const;

    QString m_dataFolder;
    QString m_title;
    QStringList m_coverLines;
    EntryWalk m_entries;
};
