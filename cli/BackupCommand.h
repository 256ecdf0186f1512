#pragma once

#include "cli/CliCommand.h"

#include "store/MsgMessageList.h"

#include <QStringList>

class CliMessageSource;

// Merges a source's messages into a local database, created when new; or,
// with --all-phones, those of every phone attached.
class BackupCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("backup"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;

private:
    int backupAllPhones(const QCommandLineParser &parser, CliContext &context) const;
    // The database of one phone of an --all-phones run; `taken` holds the
    // names earlier phones of the run got.
    static QString perPhoneName(const QString &name, const QString &model, const QString &serial, const QStringList &taken);
    // All of `source`, or with a `chat` identifier that conversation, into the database `name`.
    static void backupInto(CliMessageSource &source, const QString &chat, const QString &name, CliContext &context);
};
