#pragma once

#include <QString>
#include <QVariantList>

class IOS6MessageDb;

// Runs `head` followed by "(?,...),(?,...)" for many rows at a time, the
// values taken `columns` to a row (a QByteArray bound as a blob, anything
// else as text): one statement per block instead of one per row when a
// download writes its bookkeeping rows.
void insertInBlocks(IOS6MessageDb &db, const QString &head, int columns, const QVariantList &values);
