// libFuzzer target for the ZIP reader of imported archives: the input is
// written to a file, its table of contents read and every entry read to its
// end. A damaged archive may be refused (std::runtime_error) but never read
// outside its bounds; anything else thrown, or a crash, is a finding.
#include "import/ZipArchive.h"
#include "import/ZipEntryDevice.h"

#include <QFile>
#include <QTemporaryFile>

#include <cstdint>
#include <stdexcept>

namespace {

void readEverything(const QString &path)
{
    const ZipArchive archive(path);
    for (const QString &name : {QStringLiteral("messages.ndjson"), QStringLiteral("data/PART_1")}) {
        const ZipEntry *entry = archive.entry(name);
        if (!entry)
            continue;
        const std::unique_ptr<ZipEntryDevice> device = archive.open(*entry);
        while (!device->read(4096).isEmpty()) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryFile file;
    if (!file.isOpen() && !file.open())
        return 0;
    file.resize(0);
    file.seek(0);
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.flush();
    try {
        readEverything(file.fileName());
    } catch (const std::runtime_error &) {
        // refused with a reason: what a damaged archive should get
    }
    return 0;
}
