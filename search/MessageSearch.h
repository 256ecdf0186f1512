#pragma once

#include <QList>
#include <QString>

#include "search/MessageSearchIndex.h"
#include "search/SearchHit.h"

// Search across the message databases of the data root: every phone cache
// (R/android_cache/<imei>) and every local database (R/local_databases/<name>).
// Each database has its own index (MessageSearchIndex), built on first use and
// brought up to date before each search, so what a search finds always matches
// the databases as they are now.
//
//   const QList<SearchHit> hits = MessageSearch::searchAll("lunch friday", MessageSearch::allSources(), 100);
//   const QList<SearchHit> hits = MessageSearch::searchAll("lunch", {MessageSearch::sourceFromArgument("db:Work")}, 20);
namespace MessageSearch {

// SearchSource::kind of a phone cache and of a local database.
QString phoneCacheKind();
QString localDatabaseKind();

// The phone caches and then the local databases, each by folder name, that
// hold a message database.
SearchScope allSources();

// The source an argument names: "cache:<imei>" or "db:<name>". Raises
// std::runtime_error for another form or a source without messages.
SearchSource sourceFromArgument(const QString &argument);

// Messages the indexes of `scope` have yet to take in: a cheap estimate for
// whether an update deserves a progress dialog.
qint64 pendingRows(const SearchScope &scope);

// Brings the index of every source in `scope` up to date; `progress` sees the
// rows of all of them together.
void updateIndexes(const SearchScope &scope, const MessageSearchIndex::Progress &progress = {});

// The messages holding every word (see searchMatchExpression), at most
// `limit`, newest first: from each source the matches stored last, merged by
// date. An error of one source names that source.
QList<SearchHit> searchAll(const QString &words, const SearchScope &scope, int limit,
                           const MessageSearchIndex::Progress &progress = {});

} // namespace MessageSearch
