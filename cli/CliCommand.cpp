#include "cli/CliCommand.h"

#include "cli/CliUsageError.h"

#include <QCommandLineParser>
#include <QObject>

void CliCommand::addArguments(QCommandLineParser &) const
{
}

QString CliCommand::usageLine() const
{
    return QStringLiteral("ferrywright-cli %1 %2").arg(name(), synopsis()).trimmed();
}

QString CliCommand::requiredValue(const QCommandLineParser &parser, const QString &option) const
{
    const QString value = parser.value(option);
    if (value.isEmpty())
        throw CliUsageError(QObject::tr("missing --%1").arg(option), name());
    return value;
}

QStringList CliCommand::positionals(const QCommandLineParser &parser, int count) const
{
    const QStringList values = parser.positionalArguments();
    if (values.size() < count)
        throw CliUsageError(QObject::tr("missing argument"), name());
    if (values.size() > count)
        throw CliUsageError(QObject::tr("unexpected argument '%1'").arg(values.at(count)), name());
    return values;
}

QCommandLineOption CliCommand::fromOption()
{
    return QCommandLineOption(QStringLiteral("from"),
                              QObject::tr("Where the messages come from: phone:SERIAL, cache:IMEI or db:NAME."),
                              QStringLiteral("SOURCE"));
}

QCommandLineOption CliCommand::countryOption()
{
    return QCommandLineOption(QStringLiteral("country"),
                              QObject::tr("Mobile country code for the phone's numbers, when the phone reports "
                                          "none (or to override it), e.g. 310."),
                              QStringLiteral("MCC"));
}

QCommandLineOption CliCommand::jsonOption()
{
    return QCommandLineOption(QStringLiteral("json"), QObject::tr("Print JSON instead of tab-separated lines."));
}

QCommandLineOption CliCommand::chatOption()
{
    return QCommandLineOption(QStringLiteral("chat"),
                              QObject::tr("Only the conversation with this identifier (its number or address, "
                                          "as stored in the chat's chat_identifier)."),
                              QStringLiteral("ID"));
}
