#pragma once

#include "cli/CliCommand.h"

// Sends a source's messages to another phone attached by USB.
class TransferCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("transfer"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;
};
