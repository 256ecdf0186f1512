#pragma once

#include "cli/CliCommand.h"

// Merges a source's messages into a local database, created when new.
class BackupCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("backup"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;
};
