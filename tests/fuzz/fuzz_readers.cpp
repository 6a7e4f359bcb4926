// libFuzzer target for the settings and history readers: every input goes through both decoders;
// whatever decodes must come back unchanged from its own encoding.
#include "records/Config.h"
#include "records/History.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

namespace {

// Aborts where a decoded value changes through its own encoding, or where a refusal says no why.
template <typename T> void roundTrip(const QByteArray &bytes)
{
    QString why;
    const std::optional<T> decoded = T::decode(bytes, &why);
    if (decoded ? T::decode(decoded->encode()) != decoded : why.isEmpty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    roundTrip<Config>(bytes);
    roundTrip<History>(bytes);
    return 0;
}
