#include "cli/CliApp.h"

#include "app/KeyTranslator.h"
#include "cli/BackupCommand.h"
#include "cli/CliContext.h"
#include "cli/CliInterrupt.h"
#include "cli/CliUsageError.h"
#include "cli/DatabasesCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/DownloadCommand.h"
#include "cli/ExportCommand.h"
#include "cli/ExtractCommand.h"
#include "cli/ImportCommand.h"
#include "cli/ScheduleCommand.h"
#include "cli/SearchCommand.h"
#include "cli/TransferCommand.h"
#include "work/WorkerNotify.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <exception>

namespace {

const QString kProgram = QStringLiteral("ferrywright-cli");

void printError(const QString &text)
{
    const QByteArray bytes = (kProgram + QStringLiteral(": ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

bool isHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h")
        || argument == QLatin1String("help");
}

// PDF pages are painted with fonts, which need a GUI application; nothing is
// ever shown, so the off-screen platform serves without a display.
bool needsPainting(int argc, char **argv)
{
    return argc > 1 && qstrcmp(argv[1], "export") == 0;
}

} // namespace

CliApp::CliApp()
{
    m_commands.push_back(std::make_unique<DevicesCommand>());
    m_commands.push_back(std::make_unique<DownloadCommand>());
    m_commands.push_back(std::make_unique<DatabasesCommand>());
    m_commands.push_back(std::make_unique<BackupCommand>());
    m_commands.push_back(std::make_unique<TransferCommand>());
    m_commands.push_back(std::make_unique<ExportCommand>());
    m_commands.push_back(std::make_unique<ExtractCommand>());
    m_commands.push_back(std::make_unique<ImportCommand>());
    m_commands.push_back(std::make_unique<SearchCommand>());
    m_commands.push_back(std::make_unique<ScheduleCommand>());
}

CliApp::~CliApp() = default;

int CliApp::main(int argc, char **argv)
{
    std::unique_ptr<QCoreApplication> application;
    if (needsPainting(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(kProgram);
    KeyTranslator translator;
    if (translator.load(QStringLiteral(":/en.qm")))
        QCoreApplication::installTranslator(&translator);

    CliInterrupt interrupt;
    CliContext context{interrupt, CliWorkerRunner(interrupt)};
    return CliApp().run(QCoreApplication::arguments().mid(1), context);
}

CliCommand *CliApp::command(const QString &name) const
{
    for (const auto &candidate : m_commands) {
        if (candidate->name() == name)
            return candidate.get();
    }
    return nullptr;
}

QString CliApp::globalHelp() const
{
    QString text = QObject::tr("Usage: %1 COMMAND [options]").arg(kProgram) + QStringLiteral("\n\n")
        + QObject::tr("Reads, backs up, transfers and exports the SMS and MMS of Android phones, over the same "
                      "data folder as the window (on Linux $XDG_DATA_HOME/FerryWright, by default "
                      "~/.local/share/FerryWright).")
        + QStringLiteral("\n\n") + QObject::tr("Commands:") + QLatin1Char('\n');
    for (const auto &command : m_commands)
        text += QStringLiteral("  %1  %2\n").arg(command->name().leftJustified(10), command->summary());
    text += QLatin1Char('\n')
        + QObject::tr("SOURCE is phone:SERIAL (a phone attached by USB, downloaded into its cache first), "
                      "cache:IMEI (a downloaded phone's cache) or db:NAME (a local database).")
        + QLatin1Char('\n')
        + QObject::tr("Progress goes to standard error. Exit codes: 0 success, 1 failure, 2 wrong usage, "
                      "130 interrupted (Ctrl-C cancels; nothing is left half-written).")
        + QLatin1Char('\n') + QObject::tr("'%1 COMMAND --help' describes a command.").arg(kProgram);
    return text;
}

int CliApp::run(const QStringList &arguments, CliContext &context) const
{
    try {
        return dispatch(arguments, context);
    } catch (const CliUsageError &error) {
        printError(QString::fromUtf8(error.what()));
        const CliCommand *named = command(error.command());
        printError(QObject::tr("usage: %1").arg(named ? named->usageLine() : QObject::tr("%1 COMMAND [options]; see --help").arg(kProgram)));
        return ExitUsage;
    } catch (const OperationCancelled &) {
        printError(QObject::tr("interrupted"));
        return ExitInterrupted;
    } catch (const std::exception &error) {
        printError(QString::fromUtf8(error.what()));
        return ExitFailure;
    }
}

int CliApp::dispatch(const QStringList &arguments, CliContext &context) const
{
    if (arguments.isEmpty())
        throw CliUsageError(QObject::tr("no command given"));
    if (isHelp(arguments.constFirst())) {
        CliContext::printLine(globalHelp());
        return ExitSuccess;
    }
    CliCommand *chosen = command(arguments.constFirst());
    if (!chosen)
        throw CliUsageError(QObject::tr("unknown command '%1'").arg(arguments.constFirst()));
    const int code = runCommand(*chosen, arguments.mid(1), context);
    // Ctrl-C while no worker ran (reading a database) still means: stopped.
    if (CliInterrupt::happened())
        throw OperationCancelled();
    return code;
}

int CliApp::runCommand(CliCommand &command, const QStringList &arguments, CliContext &context) const
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QObject::tr("Show this help."));
    parser.addOption(help);
    command.addArguments(parser);
    parser.setApplicationDescription(command.description());
    if (!parser.parse(QStringList{kProgram + QLatin1Char(' ') + command.name()} + arguments))
        throw CliUsageError(parser.errorText(), command.name());
    if (parser.isSet(help)) {
        CliContext::printLine(QObject::tr("Usage: %1").arg(command.usageLine()) + QStringLiteral("\n\n")
                              + parser.helpText().section(QLatin1Char('\n'), 1));
        return ExitSuccess;
    }
    try {
        return command.run(parser, context);
    } catch (const CliUsageError &error) {
        if (!error.command().isEmpty())
            throw;
        // A bad value found by shared code (a SOURCE, a name): this command's usage line.
        throw CliUsageError(QString::fromUtf8(error.what()), command.name());
    }
}
