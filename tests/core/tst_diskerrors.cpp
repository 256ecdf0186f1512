// What every writer says when the disk is full: the file it was writing and
// the system's reason, never Qt's "Unknown error" (what a short write leaves
// it with) and never silence (a truncated PDF, or a small attachment whose
// last buffered bytes did not fit, kept as if complete). The disk is a tiny
// tmpfs with a little room left, so the first write is cut short, as on a
// real full disk.

#include "android/TemporaryPartFile.h"
#include "export/ExportFile.h"
#include "export/ExportMessagesPdf.h"
#include "export/ExportMessagesThread.h"
#include "ops/AttachmentExtractThread.h"
#include "store/AttachmentCopier.h"
#include "work/HeadlessProgress.h"

#include "core/TinyDisk.h"
#include "core/tst_localdb_fixtures.h"

#include <QSaveFile>
#include <QTextStream>
#include <QtTest>

#include <exception>
#include <functional>

using namespace localdbtest;

namespace {

constexpr qint64 kDiskBytes = 1024 * 1024;
constexpr qint64 kRoomLeft = 4 * 1024;
constexpr int kLargeWrite = 256 * 1024;
constexpr int kSmallWrite = 12 * 1024;  // stays in Qt's buffer until the copy is committed

// The text of the exception `write` raises; empty when it raises none.
QString failureOf(const std::function<void()> &write)
{
    try {
        write();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

} // namespace

class TestDiskErrors : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Environment> env;

    // A file of `bytes` bytes outside the tiny disk.
    QString sourceFile(int bytes) const
    {
        const QString path = env->path(QStringLiteral("source.jpg"));
        writeFile(path, QByteArray(bytes, 'p'));
        return path;
    }

    QString downloadPart(const QString &disk)
    {
        const QByteArray savedTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(disk));
        const QString error = failureOf([] {
            TemporaryPartFile part;
            const QByteArray block(64 * 1024, 'a');
            for (qint64 written = 0; written <= kDiskBytes; written += block.size())
                part.append(block);
            part.finish();
        });
        qputenv("TMPDIR", savedTemp);
        return error;
    }

    QString attachmentCopy(const QString &disk, int bytes)
    {
        const QString source = sourceFile(bytes);
        return failureOf([&] {
            AttachmentCopier copier;
            copier.copy(source, disk + QStringLiteral("/Attachments/ab/picture.jpg"));
            copier.wait();
        });
    }

    QString textExport(const QString &disk)
    {
        return failureOf([&] {
            QSaveFile file(disk + QStringLiteral("/messages.txt"));
            openForWriting(file);
            QTextStream stream(&file);
            stream << QString(kLargeWrite, QLatin1Char('t'));
            commitStream(stream, file);
        });
    }

    // Enough pages to need more room than the disk has.
    static void addLongConversation(SetBuilder &builder)
    {
        _MsgHandle *handle = builder.handle(QStringLiteral("+15550001"));
        _MsgChat *chat = builder.chat(QStringLiteral("SMS;-;+15550001"), {handle});
        for (int i = 0; i < 200; ++i)
            builder.message(chat, handle, 500000000 + i * 60, QStringLiteral("message %1 ").arg(i).repeated(40), i % 2);
    }

    QString pdfExport(const QString &disk)
    {
        SetBuilder builder;
        addLongConversation(builder);
        return failureOf([&] {
            ExportMessagesPdf pdf(disk + QStringLiteral("/messages.pdf"), QStringLiteral(FERRY_BINARY_DIR));
            pdf.begin();
            for (const _MsgMessage *message : builder.messages())
                pdf.write(*message);
            pdf.end();
        });
    }

    QString evidenceExport(const QString &disk)
    {
        SetBuilder builder;
        addLongConversation(builder);
        HeadlessProgress progress;
        ExportMessagesThread worker(builder.messages(), disk + QStringLiteral("/bundle"),
                                    ExportMessagesThread::FormatEvidence, &progress, nullptr,
                                    QStringLiteral(FERRY_BINARY_DIR));
        progress.runToEnd(worker);
        return progress.errorText();
    }

    QString extraction(const QString &disk)
    {
        SetBuilder builder;
        _MsgHandle *handle = builder.handle(QStringLiteral("+15550001"));
        _MsgChat *chat = builder.chat(QStringLiteral("SMS;-;+15550001"), {handle});
        builder.attachment(builder.message(chat, handle, 500000000, QStringLiteral("look"), false),
                           sourceFile(kLargeWrite), QStringLiteral("picture.jpg"));
        HeadlessProgress progress;
        AttachmentExtractThread worker(&progress, builder.messages(), disk + QStringLiteral("/extracted"));
        progress.runToEnd(worker);
        return progress.errorText();
    }

private slots:
    void init() { env = std::make_unique<Environment>(); }
    void cleanup() { env.reset(); }

    void fullDiskIsNamed_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<QString>("file");  // what the text names
        QTest::newRow("part file of a download") << "download" << "";
        QTest::newRow("attachment copied into a database") << "attachment" << "picture.jpg";
        QTest::newRow("small attachment copied into a database") << "small attachment" << "picture.jpg";
        QTest::newRow("exported text") << "text" << "messages.txt";
        QTest::newRow("exported PDF") << "pdf" << "messages.pdf";
        // The manifest's rows go to disk as the messages are numbered, before the PDF.
        QTest::newRow("evidence package") << "evidence" << "manifest.json";
        QTest::newRow("extracted attachment") << "extraction" << "picture.jpg";
    }

    void fullDiskIsNamed()
    {
        QFETCH(QString, writer);
        QFETCH(QString, file);
        TinyDisk disk(env->path(QStringLiteral("disk")));
        if (!disk.mount(kDiskBytes))
            QSKIP("mounting a small tmpfs needs root");
        disk.fill(disk.path() + QStringLiteral("/filler"), kRoomLeft);

        const QHash<QString, std::function<QString(const QString &)>> writers = {
            {"download", [this](const QString &d) { return downloadPart(d); }},
            {"attachment", [this](const QString &d) { return attachmentCopy(d, kLargeWrite); }},
            {"small attachment", [this](const QString &d) { return attachmentCopy(d, kSmallWrite); }},
            {"text", [this](const QString &d) { return textExport(d); }},
            {"pdf", [this](const QString &d) { return pdfExport(d); }},
            {"evidence", [this](const QString &d) { return evidenceExport(d); }},
            {"extraction", [this](const QString &d) { return extraction(d); }},
        };
        const QString error = writers.value(writer)(disk.path());

        QVERIFY2(error.contains(QLatin1String("No space left on device")), qPrintable(error));
        QVERIFY2(error.contains(disk.path()), qPrintable(error));
        QVERIFY2(error.contains(file), qPrintable(error));
    }
};

QTEST_MAIN(TestDiskErrors)
#include "tst_diskerrors.moc"
