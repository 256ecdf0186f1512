#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;
struct CliContext;

// One subcommand of ferrywright-cli: its name, what it does, its options and
// positional arguments (which also make its --help), and its work. run()
// returns the exit code; failures are exceptions (CliUsageError for wrong
// use, OperationCancelled after Ctrl-C, std::exception otherwise).
class CliCommand
{
public:
    virtual ~CliCommand() = default;

    virtual QString name() const = 0;
    // The arguments after the name, as in the usage line.
    virtual QString synopsis() const = 0;
    // One line for the program's --help.
    virtual QString summary() const = 0;
    // Paragraphs after the usage line of the subcommand's --help.
    virtual QString description() const { return summary(); }

    virtual void addArguments(QCommandLineParser &parser) const;
    virtual int run(const QCommandLineParser &parser, CliContext &context) = 0;

    QString usageLine() const;

protected:
    // The value of a required option; CliUsageError when it is missing.
    QString requiredValue(const QCommandLineParser &parser, const QString &option) const;
    // Exactly `count` positional arguments, else CliUsageError.
    QStringList positionals(const QCommandLineParser &parser, int count) const;

    // Options several subcommands share.
    static QCommandLineOption fromOption();
    static QCommandLineOption countryOption();
    static QCommandLineOption jsonOption();
    static QCommandLineOption chatOption();
};
