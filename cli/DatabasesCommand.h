#pragma once

#include "cli/CliCommand.h"

// Lists the local databases and phone caches with their message and
// conversation counts, each named the way SOURCE names it.
class DatabasesCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("databases"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;
};
