#pragma once

#include <QString>

#include <functional>

class IOS6MessageDb;
class Sqlite3Sql;

// Runs `head` followed by "(?,...),(?,...)" for many rows at a time, `rows`
// rows of `columns` values, each bound by `bindRow` (its row number, the
// statement): one statement per block instead of one per row when a download
// writes its bookkeeping rows, and no copy of the rows in between, which at
// a million rows would cost hundreds of megabytes.
void insertInBlocks(IOS6MessageDb &db, const QString &head, int columns, qsizetype rows,
                    const std::function<void(qsizetype row, Sqlite3Sql &sql)> &bindRow);
