#include "cli/SourceSpec.h"

#include "app/AppFolders.h"
#include "cli/CliUsageError.h"

#include <QObject>

SourceSpec SourceSpec::parse(const QString &text)
{
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString kind = colon < 0 ? QString() : text.left(colon);
    SourceSpec spec;
    spec.value = colon < 0 ? QString() : text.mid(colon + 1);
    if (kind == QLatin1String("phone"))
        spec.kind = Kind::Phone;
    else if (kind == QLatin1String("cache"))
        spec.kind = Kind::Cache;
    else if (kind == QLatin1String("db"))
        spec.kind = Kind::Database;
    else
        throw CliUsageError(QObject::tr("bad SOURCE '%1': use phone:SERIAL, cache:IMEI or db:NAME").arg(text));
    if (spec.value.isEmpty())
        throw CliUsageError(QObject::tr("bad SOURCE '%1': the part after the colon is empty").arg(text));
    if (spec.kind != Kind::Phone)
        checkedFolderName(spec.value, QObject::tr("SOURCE"));
    return spec;
}

QString SourceSpec::checkedFolderName(const QString &name, const QString &what)
{
    const bool onlyDots = !name.isEmpty() && QString(name).remove(QLatin1Char('.')).isEmpty();
    if (name.isEmpty() || onlyDots || sanitizeFileName(name) != name)
        throw CliUsageError(QObject::tr("bad %1 '%2': not a plain folder name").arg(what, name));
    return name;
}

QString SourceSpec::text() const
{
    switch (kind) {
    case Kind::Phone:
        return QStringLiteral("phone:") + value;
    case Kind::Cache:
        return QStringLiteral("cache:") + value;
    case Kind::Database:
        break;
    }
    return QStringLiteral("db:") + value;
}
