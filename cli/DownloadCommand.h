#pragma once

#include "cli/CliCommand.h"

// Downloads a phone's messages into its cache, over USB or WiFi.
class DownloadCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("download"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;
};
