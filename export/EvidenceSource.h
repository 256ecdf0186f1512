#pragma once

#include <QString>

// Where the messages of an evidence package come from, as its cover names it:
// a phone's cache (model and IMEI, the model unknown when only the cache
// folder is at hand) or a local database (its name).
struct EvidenceSource
{
    QString phoneModel;
    QString imei;          // set: the source is a phone's cache
    QString databaseName;  // otherwise: the local database
};
