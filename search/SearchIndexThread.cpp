#include "search/SearchIndexThread.h"

#include "search/MessageSearch.h"

SearchIndexThread::SearchIndexThread(const SearchScope &scope, ProgressReporter *form, QObject *parent)
    : OperationThread(form, parent)
    , m_scope(scope)
{
}

void SearchIndexThread::work()
{
    MessageSearch::updateIndexes(m_scope, [this](qint64 done, qint64 total) {
        reportItem(tr("Preparing the search of your messages..."), done, total,
                   tr("Messages: %1/%2").arg(done).arg(total));
    });
    notifySuccess(form(), QString());
}
