#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

class QAbstractSocket;

// One received attachment on its way to the cache folder: a file named by a
// new GUID in the system's temporary folder, removed when this object goes,
// whatever happened.
class TemporaryPartFile
{
public:
    // Opens the file for writing. When that fails the agent is told and
    // LocalException "Create <path> error. <reason>" is thrown.
    explicit TemporaryPartFile(QAbstractSocket &agent);
    // The same without an agent to tell (parts read from a file): the failure
    // is std::runtime_error "Create <path> error. <reason>".
    TemporaryPartFile();
    ~TemporaryPartFile();
    TemporaryPartFile(const TemporaryPartFile &) = delete;
    TemporaryPartFile &operator=(const TemporaryPartFile &) = delete;

    QString path() const { return m_file.fileName(); }

    // Both raise std::runtime_error when the disk refuses the bytes.
    void append(const QByteArray &bytes);
    void finish();

    // The whole content read as UTF-8 (text parts only).
    QString text() const;

private:
    [[noreturn]] void failWrite() const;
    // Opens the file; the text of the failure, empty when it opened.
    QString openProblem();

    QFile m_file;
};
