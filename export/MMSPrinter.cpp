#include "export/MMSPrinter.h"

#include "export/MessagePagePainter.h"
#include "store/MessageOrder.h"

#include <QCoreApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

constexpr qreal kMarginPoints = 20;

} // namespace

MMSPrinter::MMSPrinter(QObject *parent, const QString &dataFolder)
    : QObject(parent)
    , m_dataFolder(dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : dataFolder)
{
}

void MMSPrinter::print(const MsgMessageList &messages)
{
    messageList = messages;
    sortMessages(messageList);

    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageMargins(QMarginsF(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints),
                           QPageLayout::Point);

    QPrintPreviewDialog preview(&printer, nullptr);
    preview.setWindowModality(Qt::ApplicationModal);
    preview.setModal(true);
    preview.setWindowTitle(tr("IDS_PRINT_MMS"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, &MMSPrinter::onPaintRequested);
    preview.exec();
}

void MMSPrinter::onPaintRequested(QPrinter *printer)
{
    MessagePagePainter pages(m_dataFolder);
    if (!pages.beginPages(*printer))
        return;
    for (const _MsgMessage *message : std::as_const(messageList)) {
        if (message)
            pages.drawMessage(*message);
    }
    pages.endPages();
}
