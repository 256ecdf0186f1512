#include "android/TemporaryPartFile.h"

#include "android/LocalException.h"
#include "app/FileErrors.h"
#include "store/MessageIds.h"

#include <QDir>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toUtf8().toStdString());
}

} // namespace

TemporaryPartFile::TemporaryPartFile(QAbstractSocket &agent)
    : m_file(QDir(QDir::tempPath()).filePath(newGuid()))
{
    const QString problem = openProblem();
    if (!problem.isEmpty())
        throw simpleprotocol::LocalException(agent, problem);
}

TemporaryPartFile::TemporaryPartFile()
    : m_file(QDir(QDir::tempPath()).filePath(newGuid()))
{
    const QString problem = openProblem();
    if (!problem.isEmpty())
        fail(problem);
}

QString TemporaryPartFile::openProblem()
{
    if (m_file.open(QIODevice::WriteOnly))
        return QString();
    const QString reason = fileErrorReason(m_file);
    return QStringLiteral("Create %1 error. %2").arg(m_file.fileName(), reason);
}

TemporaryPartFile::~TemporaryPartFile()
{
    m_file.remove();
}

void TemporaryPartFile::append(const QByteArray &bytes)
{
    if (m_file.write(bytes) != bytes.size())
        failWrite();
}

void TemporaryPartFile::finish()
{
    if (!m_file.flush())
        failWrite();
    m_file.close();
}

QString TemporaryPartFile::text() const
{
    QFile file(m_file.fileName());
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = fileErrorReason(file);
        fail(QStringLiteral("read %1 error. %2").arg(file.fileName(), reason));
    }
    return QString::fromUtf8(file.readAll());
}

void TemporaryPartFile::failWrite() const
{
    const QString reason = fileErrorReason(m_file);
    fail(QStringLiteral("write %1 error. %2").arg(m_file.fileName(), reason));
}
