#include "android/BookkeepingRows.h"

#include "store/IOS6MessageDb.h"

#include <QStringList>

#include <algorithm>

namespace {

// Rows per statement.
const qsizetype InsertBlockRows = 200;

} // namespace

void insertInBlocks(IOS6MessageDb &db, const QString &head, int columns, const QVariantList &values)
{
    const QString row = QLatin1Char('(') + QStringList(columns, QStringLiteral("?")).join(QLatin1Char(','))
        + QLatin1Char(')');
    const qsizetype rows = values.size() / columns;
    for (qsizetype first = 0; first < rows; first += InsertBlockRows) {
        const qsizetype count = std::min<qsizetype>(InsertBlockRows, rows - first);
        Sqlite3Sql sql(head + QStringList(count, row).join(QLatin1Char(',')));
        for (qsizetype i = first * columns; i < (first + count) * columns; ++i) {
            const QVariant &value = values.at(i);
            if (value.typeId() == QMetaType::QByteArray)
                sql.addBlobParam(value.toByteArray());
            else
                sql.addTextParam(value.toString());
        }
        db.executeThrow(sql);
    }
}
