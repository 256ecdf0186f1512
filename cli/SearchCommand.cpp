#include "cli/SearchCommand.h"

#include "cli/CliContext.h"
#include "cli/CliPhoneLink.h"
#include "cli/CliUsageError.h"
#include "cli/SourceSpec.h"
#include "search/MessageSearch.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QRegularExpression>
#include <QTextStream>

QString SearchCommand::synopsis() const
{
    return QStringLiteral("TEXT [--from SOURCE] [--json]");
}

QString SearchCommand::summary() const
{
    return QObject::tr("search words in every cache and local database");
}

QString SearchCommand::description() const
{
    return QObject::tr("Finds the messages containing the words of TEXT in every phone cache and local database, "
                       "or only in SOURCE with --from. Each result names its source, its conversation and the "
                       "message.");
}

void SearchCommand::addArguments(QCommandLineParser &parser) const
{
    parser.addPositionalArgument(QStringLiteral("TEXT"), QObject::tr("The words to find."));
    parser.addOption(fromOption());
    parser.addOption(jsonOption());
}

int SearchCommand::run(const QCommandLineParser &parser, CliContext &context)
{
    const QString text = positionals(parser, 1).constFirst();
    if (text.trimmed().isEmpty())
        throw CliUsageError(QObject::tr("TEXT holds no words."), name());
    const SearchScope scope = parser.isSet(QStringLiteral("from"))
        ? SearchScope{sourceOf(SourceSpec::parse(parser.value(QStringLiteral("from"))), context)}
        : MessageSearch::allSources();
    const QList<SearchHit> hits = MessageSearch::searchAll(text, scope, MaxHits, indexProgress());
    if (parser.isSet(QStringLiteral("json")))
        printJson(hits);
    else
        printLines(hits);
    return 0;
}

SearchSource SearchCommand::sourceOf(const SourceSpec &spec, CliContext &context)
{
    if (spec.kind != SourceSpec::Kind::Phone)
        return MessageSearch::sourceFromArgument(spec.text());
    // A phone is searched in its cache, brought up to date first.
    const AndroidDevice device = CliPhoneLink(context).connectAndDownload(spec.value, QString());
    return MessageSearch::sourceFromArgument(QStringLiteral("cache:") + QFileInfo(device.cacheFolder()).fileName());
}

MessageSearchIndex::Progress SearchCommand::indexProgress()
{
    // Building an index the first time takes a while: say so on standard error.
    return [](qint64 done, qint64 total) {
        static int shownPercent = -1;
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        if (percent / 10 == shownPercent / 10)
            return;
        shownPercent = percent;
        QTextStream(stderr) << QObject::tr("Indexing messages: %1%").arg(percent) << Qt::endl;
    };
}

void SearchCommand::printJson(const QList<SearchHit> &hits)
{
    QJsonArray list;
    for (const SearchHit &hit : hits) {
        list.append(QJsonObject{{"source", sourceText(hit)},
                                {"conversation", hit.chatTitle},
                                {"chatRowid", hit.chatRowid},
                                {"messageRowid", hit.messageRowid},
                                {"date", hit.date.toString(Qt::ISODate)},
                                {"fromMe", hit.fromMe},
                                {"text", hit.snippet}});
    }
    CliContext::printLine(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
}

void SearchCommand::printLines(const QList<SearchHit> &hits)
{
    // One line each: tabs and line breaks of the message would split it.
    static const QRegularExpression separators(QStringLiteral("[\\t\\r\\n]+"));
    for (const SearchHit &hit : hits) {
        QString snippet = hit.snippet;
        snippet.replace(separators, QStringLiteral(" "));
        CliContext::printLine(QStringLiteral("%1\t%2\t%3\t%4")
                                  .arg(hit.date.toString(QStringLiteral("yyyy-MM-dd HH:mm")), sourceText(hit),
                                       hit.chatTitle, snippet));
    }
}

QString SearchCommand::sourceText(const SearchHit &hit)
{
    const bool cache = hit.sourceKind == MessageSearch::phoneCacheKind();
    return (cache ? QStringLiteral("cache:") : QStringLiteral("db:")) + hit.sourceName;
}
