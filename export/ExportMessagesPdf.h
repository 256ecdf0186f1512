#pragma once

#include "store/AbsFormatExport.h"
#include "export/MessagePagePainter.h"
#include "store/MsgMessage.h"

#include <QFile>
#include <QPdfWriter>
#include <QString>

// One conversation as a PDF file: A4 pages at screen resolution with margins
// of 20 points, drawn by the same MessagePagePainter as a printout, so both
// look the same. Pages go to the file as they are finished; the file is
// ours, so that a full disk is reported (Qt's PDF engine ignores failed writes).
class ExportMessagesPdf : public AbsFormatExport<_MsgMessage>
{
public:
    // `dataFolder` holds the bubble pictures.
    ExportMessagesPdf(const QString &path, const QString &dataFolder);

    void begin() override;
    void write(const _MsgMessage &message) override;
    void end() override;

    // A4 portrait at screen resolution with margins of 20 points: the pages
    // of every PDF this program writes.
    static void setUpPages(QPdfWriter &writer);

    // Pages drawn so far.
    int pageCount() const { return m_pages.pageNumber(); }

private:
    QFile m_file;
    QPdfWriter m_writer;  // writes m_file
    MessagePagePainter m_pages;
};
