#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "store/Sqlite3DB.h"
#include "store/Sqlite3Row.h"

// Base of the program's databases: each derived class opens itself lazily in
// ensureOpen(), which every operation here calls first.
class AbsDb : public Sqlite3DB
{
public:
    AbsDb() = default;
    ~AbsDb() override = default;

    // Open the connection when it is closed, creating or upgrading the schema.
    virtual void ensureOpen() = 0;

    bool inTransaction() const { return m_inTransaction; }

    // Closing rolls an open transaction back, so the flag is cleared too.
    void close() override;

    // Begins a transaction; raises SqliteException when BEGIN fails (the flag
    // then stays clear).
    void beginTransaction();
    // Does nothing (returns 0) unless a transaction was begun here. Otherwise
    // commits or rolls back and clears the flag, returning SQLite's result.
    // A failed commit is rolled back and raised as SqliteException, so the
    // caller never mistakes it for success.
    int endTransaction(bool commit);

    // Inserts the row (all its columns when `columns` is empty) and returns
    // the new row id.
    qint64 insertRow(const Sqlite3Row &row, const QString &table,
                     const QStringList &columns = QStringList());
    // Every row of "select * from <table>".
    QList<Sqlite3Row> selectAll(const QString &table);

private:
    bool m_inTransaction = false;
};
