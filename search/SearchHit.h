#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Where a search looks: one message database folder of the data root.
struct SearchSource
{
    QString kind;    // "phone cache" or "local database"
    QString name;    // the phone's IMEI or the local database's folder name
    QString folder;  // the database folder F
};

// The sources one search covers.
using SearchScope = QList<SearchSource>;

// One message a search found. Texts come from strangers: `snippet` is plain
// text, whoever shows it as markup escapes it.
struct SearchHit
{
    QString sourceKind;
    QString sourceName;
    QString sourceFolder;
    qint64 chatRowid = 0;     // 0 when the message belongs to no chat
    QString chatTitle;        // the conversation's name as the tree shows it
    qint64 messageRowid = 0;
    QDateTime date;
    bool fromMe = false;
    QString snippet;          // the words found with a little context
};
