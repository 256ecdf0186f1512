#pragma once

#include <QString>

// A message source named on the command line: "phone:SERIAL" (a phone through
// adb, downloaded into its cache first), "cache:IMEI" (a phone's cache from an
// earlier download) or "db:NAME" (a local database).
struct SourceSpec
{
    enum class Kind { Phone, Cache, Database };

    Kind kind = Kind::Database;
    QString value;

    // Raises CliUsageError for an unknown kind, an empty value, or a cache or
    // database name that would lead out of its folder.
    static SourceSpec parse(const QString &text);
    // A name of a local database or cache folder: usable as one folder name
    // and nothing more. Raises CliUsageError naming `what` otherwise.
    static QString checkedFolderName(const QString &name, const QString &what);

    QString text() const;
};
