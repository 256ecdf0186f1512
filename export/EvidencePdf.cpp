#include "export/EvidencePdf.h"

#include "export/DiscardingDevice.h"
#include "export/ExportFile.h"
#include "export/ExportMessagesPdf.h"
#include "export/LocalTimeOffsets.h"
#include "export/MessagePagePainter.h"
#include "store/AppleTime.h"
#include "store/MsgMessage.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>

#include <stdexcept>

namespace {

constexpr int kTitlePointSize = 16;
constexpr int kCoverPointSize = 11;
constexpr int kLabelPointSize = 9;

} // namespace

EvidencePdf::EvidencePdf(const QString &dataFolder, const QString &title, const QStringList &coverLines,
                         EntryWalk entries)
    : m_dataFolder(dataFolder)
    , m_title(title)
    , m_coverLines(coverLines)
    , m_entries(std::move(entries))
{
}

int EvidencePdf::write(const QString &path, const std::function<void()> &step) const
{
    DiscardingDevice counting;
    const int pageCount = drawAll(counting, 0, step);
    QFile file(path);
    openForWriting(file);
    const int drawn = drawAll(file, pageCount, step);
    flushOrThrow(file);
    if (drawn != pageCount)
        throw std::runtime_error(QStringLiteral("The pages of %1 came out differently in the second pass.")
                                     .arg(QDir::toNativeSeparators(path))
                                     .toStdString());
    return drawn;
}

int EvidencePdf::drawAll(QIODevice &device, int pageCount, const std::function<void()> &step) const
{
    QPdfWriter writer(&device);
    ExportMessagesPdf::setUpPages(writer);
    MessagePagePainter pages(m_dataFolder);
    pages.setPageCount(pageCount);
    if (!pages.beginPages(writer))
        throw std::runtime_error(QStringLiteral("Cannot start the PDF pages.").toStdString());
    drawCover(pages);
    LocalTimeOffsets offsets;
    int number = 0;
    m_entries([&](const Entry &entry) {
        pages.drawParagraph(entryLabel(++number, entry, offsets), kLabelPointSize, Qt::AlignLeft);
        pages.drawMessage(*entry.message);
        step();
    });
    const int drawn = pages.pageNumber();
    pages.endPages();
    return drawn;
}

void EvidencePdf::drawCover(MessagePagePainter &pages) const
{
    pages.drawParagraph(m_title, kTitlePointSize, Qt::AlignHCenter, Qt::black);
    for (const QString &line : m_coverLines)
        pages.drawParagraph(line, kCoverPointSize, Qt::AlignLeft, Qt::black);
    pages.breakPage();
}

QString EvidencePdf::entryLabel(int number, const Entry &entry, LocalTimeOffsets &offsets) const
{
    const qint64 unixSeconds = qint64(entry.message->date) + kAppleEpochUnixSeconds;
    const QString date = LocalTimeOffsets::isoWithOffset(offsets.localDateTime(unixSeconds));
    QString label = tr("No. %1, %2").arg(number).arg(date);
    if (!entry.files.isEmpty())
        label += QLatin1String(", ") + tr("files: %1").arg(entry.files.join(QLatin1String(", ")));
    return label;
}
