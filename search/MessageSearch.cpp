#include "search/MessageSearch.h"

#include "app/AppFolders.h"
#include "store/IOS6MessageDb.h"
#include "search/SearchQuery.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <vector>
#include <stdexcept>

namespace {

const QString kCachePrefix = QStringLiteral("cache:");
const QString kDatabasePrefix = QStringLiteral("db:");

QDir phoneCachesDir()
{
    return QDir(dataRootDir().absoluteFilePath(QStringLiteral("android_cache")));
}

bool holdsMessages(const QString &folder)
{
    return QFileInfo(IOS6MessageDb(folder, QString()).databasePath()).isFile();
}

SearchScope sourcesIn(const QDir &parent, const QString &kind)
{
    SearchScope sources;
    for (const QString &name : parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString folder = parent.absoluteFilePath(name);
        if (holdsMessages(folder))
            sources.append(SearchSource{kind, name, folder});
    }
    return sources;
}

std::runtime_error sourceError(const SearchSource &source, const std::exception &error)
{
    return std::runtime_error(
        QStringLiteral("%1 %2: %3").arg(source.kind, source.name, QString::fromUtf8(error.what())).toStdString());
}

// Progress of one source as part of the whole run.
MessageSearchIndex::Progress partOfRun(const MessageSearchIndex::Progress &progress, qint64 before, qint64 total)
{
    if (!progress)
        return {};
    return [progress, before, total](qint64 done, qint64) { progress(std::min(before + done, total), total); };
}

// Fills in the snippets of the hits that came from `source`.
void addSnippetsFrom(MessageSearchIndex &index, const SearchSource &source, const QString &words,
                     QList<SearchHit> &hits)
{
    QList<SearchHit> ofSource;
    QList<qsizetype> positions;
    for (qsizetype i = 0; i < hits.size(); ++i) {
        if (hits.at(i).sourceFolder == source.folder) {
            ofSource.append(hits.at(i));
            positions.append(i);
        }
    }
    index.addSnippets(words, ofSource);
    for (qsizetype k = 0; k < positions.size(); ++k)
        hits[positions.at(k)].snippet = ofSource.at(k).snippet;
}

} // namespace

namespace MessageSearch {

QString phoneCacheKind()
{
    return QStringLiteral("phone cache");
}

QString localDatabaseKind()
{
    return QStringLiteral("local database");
}

SearchScope allSources()
{
    return sourcesIn(phoneCachesDir(), phoneCacheKind()) + sourcesIn(localDatabasesDir(), localDatabaseKind());
}

SearchSource sourceFromArgument(const QString &argument)
{
    // Only names listed in the folder count, so ".." or a path never leads
    // out of it.
    SearchScope candidates;
    QString name;
    if (argument.startsWith(kCachePrefix)) {
        candidates = sourcesIn(phoneCachesDir(), phoneCacheKind());
        name = argument.mid(kCachePrefix.size());
    } else if (argument.startsWith(kDatabasePrefix)) {
        candidates = sourcesIn(localDatabasesDir(), localDatabaseKind());
        name = argument.mid(kDatabasePrefix.size());
    } else {
        throw std::runtime_error(
            QStringLiteral("A source is cache:<imei> or db:<name>, not \"%1\"").arg(argument).toStdString());
    }
    for (const SearchSource &source : std::as_const(candidates)) {
        if (source.name == name)
            return source;
    }
    throw std::runtime_error(QStringLiteral("No messages found for the source \"%1\"").arg(argument).toStdString());
}

qint64 pendingRows(const SearchScope &scope)
{
    qint64 rows = 0;
    for (const SearchSource &source : scope) {
        try {
            rows += MessageSearchIndex(source.folder).pendingRows();
        } catch (const std::exception &error) {
            throw sourceError(source, error);
        }
    }
    return rows;
}

void updateIndexes(const SearchScope &scope, const MessageSearchIndex::Progress &progress)
{
    const qint64 total = progress ? pendingRows(scope) : 0;
    qint64 before = 0;
    for (const SearchSource &source : scope) {
        try {
            MessageSearchIndex index(source.folder);
            const qint64 rows = progress ? index.pendingRows() : 0;
            index.update(partOfRun(progress, before, total));
            before += rows;
        } catch (const std::exception &error) {
            throw sourceError(source, error);
        }
    }
}

QList<SearchHit> searchAll(const QString &words, const SearchScope &scope, int limit,
                           const MessageSearchIndex::Progress &progress)
{
    if (searchMatchExpression(words).isEmpty() || limit <= 0)
        return {};
    // Each index catches up as it is asked; the progress sees all of them.
    const qint64 total = progress ? pendingRows(scope) : 0;
    qint64 before = 0;
    std::vector<std::unique_ptr<MessageSearchIndex>> indexes;
    QList<SearchHit> hits;
    for (const SearchSource &source : scope) {
        try {
            indexes.push_back(std::make_unique<MessageSearchIndex>(source.folder));
            const qint64 rows = progress ? indexes.back()->pendingRows() : 0;
            const QList<SearchHit> found = indexes.back()->findHits(words, limit, partOfRun(progress, before, total));
            before += rows;
            for (SearchHit hit : found) {
                hit.sourceKind = source.kind;
                hit.sourceName = source.name;
                hit.sourceFolder = source.folder;
                hits.append(hit);
            }
        } catch (const std::exception &error) {
            throw sourceError(source, error);
        }
    }
    std::stable_sort(hits.begin(), hits.end(), [](const SearchHit &a, const SearchHit &b) { return a.date > b.date; });
    if (hits.size() > limit)
        hits.resize(limit);
    // Snippets only for the hits kept.
    for (size_t i = 0; i < indexes.size(); ++i) {
        const SearchSource &source = scope.at(qsizetype(i));
        try {
            addSnippetsFrom(*indexes.at(i), source, words, hits);
        } catch (const std::exception &error) {
            throw sourceError(source, error);
        }
    }
    return hits;
}

} // namespace MessageSearch
