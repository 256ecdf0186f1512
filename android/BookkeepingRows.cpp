#include "android/BookkeepingRows.h"

#include "store/IOS6MessageDb.h"

#include <QStringList>

#include <algorithm>

namespace {

// Rows per statement.
const qsizetype InsertBlockRows = 200;

} // namespace

void insertInBlocks(IOS6MessageDb &db, const QString &head, int columns, qsizetype rows,
                    const std::function<void(qsizetype row, Sqlite3Sql &sql)> &bindRow)
{
    const QString row = QLatin1Char('(') + QStringList(columns, QStringLiteral("?")).join(QLatin1Char(','))
        + QLatin1Char(')');
    for (qsizetype first = 0; first < rows; first += InsertBlockRows) {
        const qsizetype count = std::min<qsizetype>(InsertBlockRows, rows - first);
        Sqlite3Sql sql(head + QStringList(count, row).join(QLatin1Char(',')));
        for (qsizetype i = first; i < first + count; ++i)
            bindRow(i, sql);
        db.executeThrow(sql);
    }
}
