#pragma once

#include "store/AbsFormatExport.h"
#include "export/LocalTimeOffsets.h"
#include "store/MsgMessage.h"

#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QString>
#include <QTextStream>

// The text export (also written under a .doc name): one line per message in
// fixed-width columns (date 30, flag 6, name 40, then the text), UTF-8
// without byte-order mark, line feeds only. Longer values are not cut.
//
// The file is written under a temporary name and takes its real name only at
// end(): a run that stops early leaves an existing file of that name as it was.
class ExportMessagesTxt : public AbsFormatExport<_MsgMessage>
{
public:
    explicit ExportMessagesTxt(const QString &path);

    void begin() override;
    void write(const _MsgMessage &message) override;
    void end() override;

private:
    const QString &nameColumn(const _MsgChat *chat);
    const QString &dateColumn(qint64 unixSeconds);

    QSaveFile m_file;
    QTextStream m_stream;
    QLocale m_locale;
    QString m_dateFormat;
    LocalTimeOffsets m_localTime;
    // Messages come oldest first, often several in a minute: without seconds
    // in the format, one minute's date column serves them all.
    bool m_dateByMinute = false;
    qint64 m_dateMinute = 0;
    QString m_dateColumn;
    // A conversation's name column, made once: names are joined from handles.
    QHash<const _MsgChat *, QString> m_nameColumns;
};
