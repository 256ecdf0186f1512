#include "export/ExportMessagesPdf.h"

#include "export/ExportFile.h"

#include <QPageLayout>
#include <QPageSize>

#include <stdexcept>

namespace {

constexpr int kScreenDpi = 96;
constexpr qreal kMarginPoints = 20;

} // namespace

ExportMessagesPdf::ExportMessagesPdf(const QString &path, const QString &dataFolder)
    : m_file(path)
    , m_writer(&m_file)
    , m_pages(dataFolder)
{
    setUpPages(m_writer);
}

void ExportMessagesPdf::setUpPages(QPdfWriter &writer)
{
    writer.setResolution(kScreenDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints),
                                     QPageLayout::Point));
}

void ExportMessagesPdf::begin()
{
    openForWriting(m_file);
    if (!m_pages.beginPages(m_writer))
        throw std::runtime_error(QStringLiteral("Cannot write %1.").arg(m_file.fileName()).toStdString());
}

void ExportMessagesPdf::write(const _MsgMessage &message)
{
    m_pages.drawMessage(message);
}

void ExportMessagesPdf::end()
{
    m_pages.endPages();
    flushOrThrow(m_file);
}
