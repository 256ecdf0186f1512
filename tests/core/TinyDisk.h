#pragma once

// A small tmpfs mounted for one test, so that "disk full" is real. Mounting
// needs root; tests skip when mount() fails.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QString>
#include <QtTest>

class TinyDisk
{
public:
    explicit TinyDisk(const QString &path) : m_path(path) { QDir().mkpath(path); }
    ~TinyDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_path});
    }
    TinyDisk(const TinyDisk &) = delete;
    TinyDisk &operator=(const TinyDisk &) = delete;

    bool mount(qint64 bytes)
    {
        m_mounted = QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                                 QStringLiteral("-o"),
                                                                 QStringLiteral("size=%1").arg(bytes),
                                                                 QStringLiteral("tmpfs"), m_path})
            == 0;
        return m_mounted;
    }
    // Writes `path` until fewer than `spare` bytes are left.
    void fill(const QString &path, qint64 spare)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (QStorageInfo(m_path).bytesAvailable() > spare && file.write(block) == block.size())
            file.flush();
    }

    const QString &path() const { return m_path; }

private:
    QString m_path;
    bool m_mounted = false;
};
