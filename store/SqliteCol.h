#pragma once

#include <QString>

// One column as reported by "PRAGMA table_info".
class _SqliteCol
{
public:
    int cid = 0;          // position in the table, 0 = first
    QString name;
    QString type;         // declared type as written in CREATE TABLE, may be empty
    bool notnull = false;
    QString dflt_value;   // default expression as text, empty when none
    int pk = 0;           // 1-based position in the primary key, 0 when not part of it
};
