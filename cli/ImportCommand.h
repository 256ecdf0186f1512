#pragma once

#include "cli/CliCommand.h"

#include <memory>

class ProgressReporter;
class QThread;

// Imports an SMS Backup & Restore XML file into a local database.
class ImportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("import"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;

private:
    // The importer's worker for one run, reporting to `form`; none while this
    // build has no importer.
    static std::unique_ptr<QThread> makeWorker(const QString &xmlPath, const QString &dbFolder,
                                               const QString &countryCode, ProgressReporter *form);
};
