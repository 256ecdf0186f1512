// libFuzzer target for the vCard reader. Besides looking for memory and
// undefined-behaviour faults it checks one property: input fed in pieces
// reads exactly like the same input fed at once.
#include "views/VCard.h"
#include "views/VCardParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

using Log = QList<QByteArray>;

VCardParser recordingParser(Log &log)
{
    return VCardParser(
        [&log](const QByteArray &name, const QList<VCardParser::Param> &params) {
            QByteArray line = "P:" + name;
            for (const VCardParser::Param &param : params)
                line += ";" + param.name + (param.value ? "=" + *param.value : QByteArray());
            log.append(line);
        },
        [&log](const QByteArray *value) { log.append(value ? "V:" + *value : QByteArray("END")); });
}

Log readWhole(const QByteArray &input)
{
    Log log;
    VCardParser parser = recordingParser(log);
    log.append(parser.feed(input, true) ? "OK" : "REJECTED");
    return log;
}

Log readInPieces(const QByteArray &input, qsizetype pieceSize)
{
    Log log;
    VCardParser parser = recordingParser(log);
    for (qsizetype at = 0; at < input.size(); at += pieceSize)
        parser.feed(input.mid(at, pieceSize), false);
    log.append(parser.feed(QByteArray(), true) ? "OK" : "REJECTED");
    return log;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    for (const VCardEntry &entry : parseVCards(input))
        for (const VCardProperty &property : entry)
            (void)propertyText(property);

    const qsizetype pieceSize = size ? 1 + data[0] % 7 : 1;
    if (readInPieces(input, pieceSize) != readWhole(input))
        std::abort();
    return 0;
}
