#pragma once

// File comparisons the phone tests share.

#include "store/Sqlite3Cursor.h"
#include "store/Sqlite3DB.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

// MD5 of a file's bytes in hex, or "missing:<path>" when it cannot be read.
inline QByteArray fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("missing:") + QFile::encodeName(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result().toHex();
}

// The first column of the first row `sql` gives in the database file at
// `path`, opened read-only; -1 when there is no row.
inline qint64 databaseScalar(const QString &path, const QString &sql)
{
    Sqlite3DB db;
    db.openThrow(path, Sqlite3DB::OpenReadOnly);
    Sqlite3Cursor cursor = db.queryThrow(sql);
    return cursor.moveNext() ? cursor.getInt64(0) : -1;
}

// Copies every file below `from` to the same place below `to`.
inline void copyFolder(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}
