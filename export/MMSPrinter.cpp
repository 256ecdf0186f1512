#include "export/MMSPrinter.h"

#include "app/MessageBoxes.h"
#include "export/MessagePagePainter.h"
#include "store/MessageSequence.h"
#include "store/MessageChunkReader.h"
#include "views/DateRangeBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QToolBar>

#include <exception>

namespace {

constexpr qreal kMarginPoints = 20;
// A short layout shows no progress at all.
constexpr int kProgressDelayMs = 500;
constexpr qint64 kProgressStepMs = 50;
// Date edits change with every key: the preview waits for a pause.
constexpr int kPeriodSettleMs = 600;

// Ends a layout the user stopped: the walk over the messages has no other way out.
struct LayoutStopped
{
};

// The preview records its pages as pictures before anything is printed.
bool isPreview(QPrinter &printer)
{
    return printer.paintEngine() && printer.paintEngine()->type() == QPaintEngine::Picture;
}

} // namespace

MMSPrinter::MMSPrinter(QObject *parent, const QString &dataFolder)
    : QObject(parent)
    , m_dataFolder(dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : dataFolder)
{
    m_periodSettles.setSingleShot(true);
    m_periodSettles.setInterval(kPeriodSettleMs);
    connect(&m_periodSettles, &QTimer::timeout, this, &MMSPrinter::showPeriod);
}

MMSPrinter::~MMSPrinter() = default;

void MMSPrinter::print(const MsgMessageList &messages)
{
    preview(std::make_unique<MessageSequence>(messages, MessageSequence::Order::Date), messages);
}

void MMSPrinter::print(std::unique_ptr<MessageChunkReader> source, const MsgMessageList &dateSpan)
{
    preview(std::make_unique<MessageSequence>(std::move(source), MessageSequence::Order::Date), dateSpan);
}

void MMSPrinter::preview(std::unique_ptr<MessageSequence> messages, const MsgMessageList &dateSpan)
{
    m_messages = std::move(messages);
    m_period = MessageDateRange();
    m_manyPagesAccepted = false;

    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageMargins(QMarginsF(kMarginPoints, kMarginPoints, kMarginPoints, kMarginPoints),
                           QPageLayout::Point);

    QPrintPreviewDialog preview(&printer, nullptr);
    m_preview = &preview;
    preview.setWindowModality(Qt::ApplicationModal);
    preview.setModal(true);
    preview.setWindowTitle(tr("IDS_PRINT_MMS"));
    addPeriodChoice(preview, dateSpan);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, &MMSPrinter::onPaintRequested);
    preview.exec();
    m_periodSettles.stop();
    m_messages.reset();  // a source's connection closes with the preview
}

void MMSPrinter::addPeriodChoice(QPrintPreviewDialog &preview, const MsgMessageList &dateSpan)
{
    auto *toolBar = preview.findChild<QToolBar *>();
    if (!toolBar)
        return;
    auto *period = new DateRangeBox(dateSpan, toolBar);
    toolBar->addSeparator();
    toolBar->addWidget(period);
    connect(period, &DateRangeBox::rangeChanged, this, [this, period] {
        m_chosenPeriod = period->range();
        m_periodSettles.start();
    });
}

void MMSPrinter::showPeriod()
{
    auto *pages = m_preview ? m_preview->findChild<QPrintPreviewWidget *>() : nullptr;
    if (!pages)
        return;
    m_period = m_chosenPeriod;
    pages->updatePreview();
}

void MMSPrinter::onPaintRequested(QPrinter *printer)
{
    // A database read as the layout goes can fail; nothing may leave a slot.
    bool laidOut = false;
    try {
        laidOut = layOutPages(*printer);
    } catch (const std::exception &error) {
        reportException(error);
    }
    if (!laidOut)
        stopPrinting(*printer);
}

bool MMSPrinter::layOutPages(QPrinter &printer)
{
    const qint64 total = m_messages->count(m_period);
    QProgressDialog progress(tr("Laying out the pages…"), tr("Cancel"), 0, int(total), m_preview);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(kProgressDelayMs);
    progress.setAutoReset(false);

    MessagePagePainter pages(m_dataFolder);
    if (!pages.beginPages(printer))
        return true;
    QElapsedTimer sinceUpdate;
    sinceUpdate.start();
    qint64 done = 0;
    bool goOn = true;
    try {
        m_messages->forEach([&](const _MsgMessage &message) {
            if (!m_period.contains(message))
                return;
            pages.drawMessage(message);
            ++done;
            if (sinceUpdate.hasExpired(kProgressStepMs)) {
                sinceUpdate.restart();
                progress.setLabelText(tr("Laying out page %1…").arg(pages.pageNumber()));
                progress.setValue(int(done));
            }
            if (progress.wasCanceled() || !mayGoOnPast(pages.pageNumber(), done, total))
                throw LayoutStopped();
        });
    } catch (const LayoutStopped &) {
        goOn = false;
    }
    if (!goOn && !isPreview(printer))
        printer.abort();
    pages.endPages();
    return goOn;
}

bool MMSPrinter::mayGoOnPast(int pages, qint64 done, qint64 total)
{
    if (m_manyPagesAccepted || pages <= m_pagesBeforeAsking || done >= total)
        return true;
    const qint64 toCome = qint64(pages) * (total - done) / done;
    m_manyPagesAccepted =
        askQuestion(tr("The preview already has %1 pages and about %2 more are to come; laying them out takes a "
                       "while and much memory.\nGo on?")
                        .arg(pages)
                        .arg(toCome));
    return m_manyPagesAccepted;
}

void MMSPrinter::stopPrinting(QPrinter &printer)
{
    if (isPreview(printer)) {
        if (m_preview)
            QMetaObject::invokeMethod(m_preview, &QDialog::reject, Qt::QueuedConnection);
        return;
    }
    // A PDF file is taken back rather than left with half the messages.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        QFile::remove(printer.outputFileName());
}
