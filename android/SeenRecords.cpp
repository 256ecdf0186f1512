#include "android/SeenRecords.h"

#include "android/BookkeepingRows.h"
#include "store/IOS6MessageDb.h"
#include "store/Sqlite3Sql.h"

#include <QtEndian>

#include <algorithm>
#include <utility>

namespace {

// The fingerprint as 16 bytes: read back without any text conversion.
QByteArray fingerprintBytes(const HashKey &fingerprint)
{
    QByteArray bytes(16, Qt::Uninitialized);
    qToBigEndian(fingerprint.high, bytes.data());
    qToBigEndian(fingerprint.low, bytes.data() + 8);
    return bytes;
}

std::optional<HashKey> fingerprintFromBytes(const QByteArray &bytes)
{
    if (bytes.size() != 16)
        return std::nullopt;
    return HashKey{qFromBigEndian<quint64>(bytes.constData()), qFromBigEndian<quint64>(bytes.constData() + 8)};
}

} // namespace

void SeenRecords::load(IOS6MessageDb &db)
{
    m_rows.clear();
    m_rowsToDrop.clear();
    m_added.clear();
    Sqlite3Cursor table =
        db.queryThrow(QStringLiteral("select sql from sqlite_master where name='valid_hash' and type='table'"));
    const bool hasDigest = table.moveNext() && table.getText(0).contains(QLatin1String("digest"));
    table = Sqlite3Cursor();
    if (!hasDigest)
        db.executeThrow(QStringLiteral("ALTER TABLE valid_hash ADD COLUMN digest BLOB"));

    Sqlite3Cursor count = db.queryThrow(QStringLiteral("select count(*) from valid_hash"));
    m_rows.reserve(count.moveNext() ? count.getInt64(0) : 0);
    count = Sqlite3Cursor();
    Sqlite3Cursor rows = db.queryThrow(QStringLiteral("select rowid, digest from valid_hash"));
    while (rows.moveNext()) {
        const qint64 rowid = rows.getInt64(0);
        const std::optional<HashKey> fingerprint = fingerprintFromBytes(rows.getBlob(1));
        // Rows of earlier versions and a fingerprint's second row are never
        // recognised, so they go.
        if (!fingerprint || m_rows.contains(*fingerprint))
            m_rowsToDrop.append(rowid);
        else
            m_rows.insert(*fingerprint, Row{rowid, false});
    }
}

bool SeenRecords::recognise(const HashKey &fingerprint)
{
    const auto row = m_rows.find(fingerprint);
    if (row == m_rows.end())
        return false;
    row->seen = true;
    return true;
}

void SeenRecords::add(const HashKey &fingerprint, const HashKey &record)
{
    if (!m_rows.contains(fingerprint))
        m_added.insert(fingerprint, record);
}

bool SeenRecords::dropsAny() const
{
    return !m_rowsToDrop.isEmpty()
        || std::any_of(m_rows.cbegin(), m_rows.cend(), [](const Row &row) { return !row.seen; });
}

void SeenRecords::store(IOS6MessageDb &db)
{
    removeRowsNotSeen(db);
    insertAddedRows(db);
}

void SeenRecords::removeRowsNotSeen(IOS6MessageDb &db)
{
    QList<qint64> gone = m_rowsToDrop;
    for (auto row = m_rows.cbegin(); row != m_rows.cend(); ++row) {
        if (!row->seen)
            gone.append(row->rowid);
    }
    for (const qint64 rowid : std::as_const(gone))
        db.executeThrow(Sqlite3Sql(QStringLiteral("delete from valid_hash where rowid=?")).addInt64Param(rowid));
}

void SeenRecords::insertAddedRows(IOS6MessageDb &db)
{
    // In hash order: appending to the index is much cheaper than inserting
    // at random places.
    QList<std::pair<HashKey, HashKey>> rows;  // record hash, fingerprint
    rows.reserve(m_added.size());
    for (auto row = m_added.cbegin(); row != m_added.cend(); ++row)
        rows.append({row.value(), row.key()});
    std::sort(rows.begin(), rows.end());
    insertInBlocks(db, QStringLiteral("insert into valid_hash(hash,digest) values"), 2, rows.size(),
                   [&rows](qsizetype i, Sqlite3Sql &sql) {
                       const auto &[record, fingerprint] = rows.at(i);
                       sql.addTextParam(record.toHex());
                       sql.addBlobParam(fingerprintBytes(fingerprint));
                   });
}
