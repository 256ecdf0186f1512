// libFuzzer target for the reader of the older single-file format: the input
// is the content of an old "mms.db", placed in a source folder beside an
// attachments folder with two files, and converted into a new local database.
// A clean error (any std::exception) is a correct answer to a damaged file;
// memory and undefined-behaviour faults, hangs and leaks are findings, and so
// is a conversion that writes anywhere but its target folder, or one that
// reports success without having retired the old file.
#include "FuzzHome.h"

#include "import/OldDbConverter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

void require(bool condition, const char *what, const QString &detail)
{
    if (condition)
        return;
    std::fprintf(stderr, "property broken: %s [%s]\n", what, qUtf8Printable(detail));
    std::abort();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "scratch file written", path);
}

// S/mms.db holding the input, and the files the seeds' parts name.
QString makeSource(const QDir &scratch, const QByteArray &input)
{
    scratch.mkpath(QStringLiteral("S/attachments/sub"));
    const QString source = scratch.filePath(QStringLiteral("S"));
    writeFile(source + QStringLiteral("/mms.db"), input);
    writeFile(source + QStringLiteral("/attachments/a.jpg"), QByteArray::fromHex("ffd8ffe0") + " picture");
    writeFile(source + QStringLiteral("/attachments/t.txt"), QByteArray("text of a part"));
    writeFile(source + QStringLiteral("/attachments/sub/b.png"), QByteArray::fromHex("89") + "PNG picture");
    return source;
}

void checkConverted(const QDir &scratch, const QString &source, const QString &target)
{
    require(!QFileInfo::exists(source + QStringLiteral("/mms.db")), "old file retired", source);
    require(QFileInfo::exists(source + QStringLiteral("/mms.db-bak")), "old file kept as backup", source);
    require(QFileInfo(target + QStringLiteral("/file-relay")).isDir(), "database folder in place", target);
    require(!QFileInfo::exists(OldDbConverter::stagingFolder(target)), "staging folder removed", target);
    const QStringList entries = scratch.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    require(entries == QStringList({QStringLiteral("S"), QStringLiteral("T")}), "nothing written beside",
            entries.join(QLatin1Char(' ')));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzhome::useTemporaryHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QTemporaryDir scratchDir(fuzzhome::scratchPattern());
    const QDir scratch(scratchDir.path());
    const QString source =
        makeSource(scratch, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QString target = scratch.filePath(QStringLiteral("T"));
    try {
        OldDbConverter(source, target).run(nullptr);
    } catch (const std::exception &) {
        return 0;  // a damaged file is refused: correct
    }
    checkConverted(scratch, source, target);
    return 0;
}
