// libFuzzer target for the settings and history readers: every input goes through both decoders;
// whatever decodes must come back unchanged from its own encoding.
#include "records/Config.h"
#include "records/History.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    if (const auto config = Config::decode(bytes, &why)) {
        if (Config::decode(config->encode()) != config)
            std::abort();
    } else if (why.isEmpty()) {
        std::abort();
    }
    why.clear();
    if (const auto history = History::decode(bytes, &why)) {
        if (History::decode(history->encode()) != history)
            std::abort();
    } else if (why.isEmpty()) {
        std::abort();
    }
    return 0;
}
