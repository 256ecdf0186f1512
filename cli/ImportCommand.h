#pragma once

#include "cli/CliCommand.h"

// Imports an SMS Backup & Restore XML file, an iPhone backup folder or an
// SMS Import/Export archive into a local database.
class ImportCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("import"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;
};
