#pragma once

#include "cli/CliCommand.h"

// Backs the attached phones up on a schedule through a systemd user timer:
// "schedule install", "schedule remove", "schedule status".
class ScheduleCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("schedule"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;

private:
    int install(const QCommandLineParser &parser) const;
    int remove() const;
    int status() const;
};
