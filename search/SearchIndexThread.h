#pragma once

#include "work/OperationThread.h"
#include "search/SearchHit.h"

// Brings the search indexes of a scope up to date behind the progress
// dialog: the first search of a large database indexes it, which takes a
// while. A cancel leaves each index as its last complete update left it.
class SearchIndexThread : public OperationThread
{
    Q_OBJECT
public:
    SearchIndexThread(const SearchScope &scope, ProgressReporter *form, QObject *parent = nullptr);

protected:
    void work() override;

private:
    SearchScope m_scope;
};
