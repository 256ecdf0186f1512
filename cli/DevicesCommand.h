#pragma once

#include "cli/CliCommand.h"

// Lists the phones adb sees, with the state adb gives each.
class DevicesCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("devices"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;
};
