// libFuzzer target for the reader of an iPhone message's archived text
// ("attributedBody"). Besides looking for memory and undefined-behaviour
// faults it checks one property: the text found is never longer than the
// bytes it was read from.
#include "import/AttributedBodyText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray blob(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = attributedBodyText(blob);
    if (text.toUtf8().size() > blob.size() * 3)  // invalid bytes may each become a 3-byte U+FFFD
        std::abort();
    return 0;
}
