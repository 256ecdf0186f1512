#pragma once

#include <QString>

#include <stdexcept>

// Wrong use of the command line (unknown subcommand or option, missing
// argument, bad SOURCE): exit code 2 with a short usage line, as opposed to a
// failure of the work itself.
class CliUsageError : public std::runtime_error
{
public:
    // `command` names the subcommand whose usage line is shown (empty: the
    // program's own).
    CliUsageError(const QString &message, const QString &command = QString());

    const QString &command() const { return m_command; }

private:
    QString m_command;
};
