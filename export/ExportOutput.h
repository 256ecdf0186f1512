#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// The file name an attachment's copy gets: the stored file's own, made
// harmless (stored names come from other people's phones: no separators, no
// control characters, no hidden files, no names too long), with `insert`
// put before the suffix ("_thumb").
QString attachmentCopyName(const QString &path, const QString &insert = QString());

// What one export run has created on disk, so that a cancelled or failed run
// takes back exactly that: a folder the user picked that already held files
// (their Documents folder, say) keeps every one of them. Nothing is ever
// overwritten either: new files get free names.
//
// Used by the worker thread of one run only.
class ExportOutput
{
public:
    ExportOutput() = default;
    ExportOutput(const ExportOutput &) = delete;
    ExportOutput &operator=(const ExportOutput &) = delete;

    // Creates `folder` and its missing parents; remembers each one it made.
    // Throws std::runtime_error when that fails.
    void makeFolder(const QString &folder);

    // A path in `folder` for `fileName` that nothing uses yet: the name itself
    // or "base(N).suffix". The path counts as created by this run from now on.
    QString reserveFile(const QString &folder, const QString &fileName);

    // Copies `source` into `folder` under a free name based on `fileName` and
    // returns the new file's name. Throws std::runtime_error when the copy fails.
    QString copyFile(const QString &source, const QString &folder, const QString &fileName);

    // copyFile, except that a `source` that cannot be read gives an empty name
    // and is kept in unreadableFiles(): one bad attachment does not stop a
    // whole export. A target that cannot be written still throws.
    QString copyReadableFile(const QString &source, const QString &folder, const QString &fileName);

    // Copies `source` to `folder`/`fileName` unless that exists already.
    // Throws std::runtime_error when the copy fails.
    void copyFileIfMissing(const QString &source, const QString &folder, const QString &fileName);

    // Removes the files this run created, then the folders it made (deepest
    // first, and only when nothing else has been put in them).
    void rollback();

    const QStringList &createdFiles() const { return m_files; }
    const QStringList &unreadableFiles() const { return m_unreadable; }

private:
    QStringList m_files;
    QStringList m_unreadable;
    QStringList m_folders;  // in the order they were made: parents first
    QSet<QString> m_reserved;
    // Next counter to try per wanted path, so that many files of one name do
    // not test every taken name again.
    QHash<QString, int> m_nextCounter;
};
