#pragma once

#include "android/HashKey.h"

#include <QHash>
#include <QList>

#include <optional>

class IOS6MessageDb;

// The valid_hash table of a phone's cache: the record hashes the last
// complete download saw, each with the fingerprint of the record's bytes as
// they arrived (column digest, 16 bytes). A record of an unchanged phone is recognised
// by its fingerprint alone, before it is read; only rows whose records
// changed, came or went are written.
//
// A row's hash is always among parent_hash's parents (a download keeps every
// record it saw there, and pruning only drops parents valid_hash lacks), so a
// recognised record is a known one. Caches of earlier versions hold rows
// without a fingerprint: they are replaced by the next download.
class SeenRecords
{
public:
    // Inside the download's transaction: adds the digest column when missing
    // and reads the fingerprints of the last download.
    void load(IOS6MessageDb &db);
    // True when the last download saw a record with this fingerprint; it
    // counts as seen again.
    bool recognise(const HashKey &fingerprint);
    // A record that was read: its row is written by store().
    void add(const HashKey &fingerprint, const HashKey &record);
    // Whether store() removes rows: a record of the last download that was
    // not seen again, or rows of an earlier version.
    bool dropsAny() const;
    // Leaves exactly the records of this download in the table.
    void store(IOS6MessageDb &db);

private:
    struct Row
    {
        qint64 rowid = 0;
        bool seen = false;
    };

    void removeRowsNotSeen(IOS6MessageDb &db);
    void insertAddedRows(IOS6MessageDb &db);

    QHash<HashKey, Row> m_rows;         // by fingerprint, as read
    QList<qint64> m_rowsToDrop;         // without a fingerprint, or a fingerprint's second row
    QHash<HashKey, HashKey> m_added;    // fingerprint -> record hash, read this time
};
