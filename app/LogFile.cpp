#include "app/LogFile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTime>

#include <cstdio>
#include <cstdlib>

namespace {

// The handler can be called from any thread at the same time; one mutex keeps
// the lazy open and each line's write+flush together.
QMutex logMutex;
QString logFolder;
QFile *logFile = nullptr;

void pruneLogFolder(const QString &folder, int keep)
{
    QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    const int excess = files.size() - keep;
    for (int i = 0; i < excess; ++i)
        dir.remove(files.at(i));
}

void ensureLogFileOpen()
{
    if (logFile && logFile->isOpen())
        return;
    if (!logFile)
        logFile = new QFile;   // lives until exit: messages may come during shutdown
    const QString name = QStringLiteral("log-%1.txt").arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
    QDir().mkpath(logFolder);
    logFile->setFileName(QDir(logFolder).absoluteFilePath(name));
    logFile->open(QIODevice::ReadWrite | QIODevice::Append);
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    const QByteArray line = formatLogLine(type, QTime::currentTime().toString(QStringLiteral("hh:mm:ss")), text);
    {
        QMutexLocker lock(&logMutex);
        if (type == QtDebugMsg) {
            std::fputs(text.toUtf8().constData(), stdout);
            std::fputc('\n', stdout);
        }
        ensureLogFileOpen();
        logFile->write(line);
        logFile->flush();
    }
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

QByteArray formatLogLine(QtMsgType type, const QString &time, const QString &text)
{
    QString prefix;
    switch (type) {
    case QtDebugMsg: prefix = QStringLiteral("D "); break;
    case QtWarningMsg: prefix = QStringLiteral("W "); break;
    case QtCriticalMsg: prefix = QStringLiteral("C "); break;
    case QtFatalMsg: prefix = QStringLiteral("F "); break;
    default: break;
    }
    return QStringLiteral("(%1%2) %3\n").arg(prefix, time, text).toUtf8();
}

void startLog(const QString &folder, int keep)
{
    {
        QMutexLocker lock(&logMutex);
        logFolder = folder;
    }
    pruneLogFolder(folder, keep);
    qInstallMessageHandler(logMessageHandler);
}

void stopLogForTests()
{
    qInstallMessageHandler(nullptr);
    QMutexLocker lock(&logMutex);
    if (logFile)
        logFile->close();
}
