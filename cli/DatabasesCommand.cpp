#include "cli/DatabasesCommand.h"

#include "app/AppFolders.h"
#include "cli/CliContext.h"
#include "cli/CliMessageSource.h"
#include "store/IOS6MessageDb.h"
#include "views/AbsDBItemNode.h"
#include "views/ItemModelMain.h"
#include "views/LocalDBItemNode.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>

namespace {

struct Counted
{
    SourceSpec source;
    QString folder;
    qsizetype messages = 0;
    qsizetype conversations = 0;
};

// Counts as the window's tree shows them: conversations are chats grouped by
// their identifier. The messages are counted, not read.
Counted count(const SourceSpec &source)
{
    Counted counted{source, CliMessageSource::existingFolder(source)};
    ItemModelMain model;
    auto db = QSharedPointer<IOS6MessageDb>::create(counted.folder, QString());
    _AbsDBItemNode *node = model.addLocalDatabase(db, source.value);
    db->chats(*node->dataSet);
    model.rebuildConversations(node);
    counted.messages = db->shownMessageCount();
    counted.conversations = node->children.size();
    return counted;
}

QList<SourceSpec> sourcesIn(const QDir &folder, SourceSpec::Kind kind)
{
    QList<SourceSpec> sources;
    for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        // Folders without a database (an interrupted first download) are not sources.
        if (CliMessageSource::holdsDatabase(folder.filePath(name)))
            sources.append(SourceSpec{kind, name});
    }
    return sources;
}

} // namespace

QString DatabasesCommand::synopsis() const
{
    return QStringLiteral("[--json]");
}

QString DatabasesCommand::summary() const
{
    return QObject::tr("local databases and phone caches: name, messages, conversations");
}

QString DatabasesCommand::description() const
{
    return QObject::tr("Lists the local databases (db:NAME) and the caches of downloaded phones (cache:IMEI) in "
                       "the data folder, one per line: the SOURCE, its number of messages and of conversations, "
                       "and its folder, separated by tabs.");
}

void DatabasesCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addOption(jsonOption());
}

int DatabasesCommand::run(const QCommandLineParser &parser, CliContext &)
{
    positionals(parser, 0);
    const QList<SourceSpec> sources = sourcesIn(localDatabasesDir(), SourceSpec::Kind::Database)
        + sourcesIn(QDir(CliMessageSource::cacheRoot()), SourceSpec::Kind::Cache);
    QList<Counted> rows;
    for (const SourceSpec &source : sources)
        rows.append(count(source));

    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (const Counted &row : rows) {
            list.append(QJsonObject{{"source", row.source.text()},
                                    {"kind", row.source.kind == SourceSpec::Kind::Cache ? "cache" : "db"},
                                    {"name", row.source.value},
                                    {"messages", qint64(row.messages)},
                                    {"conversations", qint64(row.conversations)},
                                    {"folder", row.folder}});
        }
        CliContext::printLine(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
        return 0;
    }
    for (const Counted &row : rows) {
        CliContext::printLine(QStringLiteral("%1\t%2\t%3\t%4")
                                  .arg(row.source.text())
                                  .arg(row.messages)
                                  .arg(row.conversations)
                                  .arg(row.folder));
    }
    return 0;
}
