#pragma once

#include "cli/CliCommand.h"

class AndroidRestoreSMSThread;

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

private:
    // The messages the phone lacks, one line each, then the result.
    static void printSummary(const AndroidRestoreSMSThread &worker);
    static void printJson(const AndroidRestoreSMSThread &worker);
};
