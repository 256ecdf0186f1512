#pragma once

#include "store/AbsFormatExport.h"
#include "export/LocalTimeOffsets.h"
#include "store/MsgMessage.h"

#include <QSaveFile>
#include <QString>
#include <QTextStream>

// The CSV export: "date,send,person,number,content,sender,subject", one record per message,
// UTF-8 without byte-order mark, records ended by a line feed.
//
// Person, number and content are quoted when they hold a double quote (which
// is doubled), a comma or a line break, so standard readers get the fields
// back unchanged. The content keeps its emoji (the file is UTF-8), unlike
// the text export. Written under a temporary name like the text export.
class ExportMessagesCsv : public AbsFormatExport<_MsgMessage>
{
public:
    explicit ExportMessagesCsv(const QString &path);

    void begin() override;
    void write(const _MsgMessage &message) override;
    void end() override;

    // A field as written: quoted when it must be.
    static QString csvField(const QString &value);

private:
    QSaveFile m_file;
    QTextStream m_stream;
    LocalTimeOffsets m_localTime;
};
