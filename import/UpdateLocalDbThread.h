#pragma once

#include "work/WorkerNotify.h"

#include <QStringList>
#include <QThread>

// Converts, at start-up, every database of the older single-file format into
// the current one (see OldDbConverter): each sub-folder of the local-databases
// folder and then of the data root's "data" folder that holds "mms.db" is
// converted into the local-databases folder under its own name. A folder
// that fails keeps its old file for the next start and the run goes on with
// the next one; the failures are reported together, once, at the end.
class UpdateLocalDbThread : public QThread
{
    Q_OBJECT
public:
    // `form` is owned by the caller and outlives the thread; may be null.
    explicit UpdateLocalDbThread(ProgressReporter *form, QObject *parent = nullptr);

    // The folders holding an old "mms.db", in the order they are converted.
    static QStringList oldDatabaseFolders();
    static bool hasOldDatabase() { return !oldDatabaseFolders().isEmpty(); }

protected:
    void run() override;

private:
    // The failures, one rich-text line per folder that was not converted.
    QStringList convertAll();
    void convertFolder(const QString &folder);

    ProgressReporter *m_form;
    ProgressPacer m_pacer;
};
