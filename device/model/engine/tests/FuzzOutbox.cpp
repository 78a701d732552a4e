// Feeds arbitrary bytes to the outbox reader; whatever it keeps must survive a round trip.
#include "device/model/engine/Outbox.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    corvane::SharedBuffer content(data, static_cast<std::uint32_t>(size));
    std::size_t dropped = 0;
    std::deque<corvane::OutboxEntry> kept = corvane::Outbox::decode(content, dropped);
    std::string again = corvane::Outbox::encode(kept);
    corvane::SharedBuffer bytes(again.data(), static_cast<std::uint32_t>(again.size()));
    std::size_t dropped_again = 0;
    if (corvane::Outbox::decode(bytes, dropped_again) != kept || dropped_again != 0)
        __builtin_trap();
    return 0;
}
