#pragma once

#include "device/platform/Clipboard.h"

#include <map>
#include <mutex>

namespace corvane {

// The desktop clipboard through SDL for text (format 13, UTF-16LE ended by a zero character, and
// format 1, 8-bit text); other formats stay inside this process. SDL's video subsystem must be
// up while it is used. Main thread.
class SdlClipboard final : public Clipboard {
public:
    std::optional<std::vector<std::uint8_t>> get(std::uint32_t format) override;
    bool set(std::uint32_t format, std::vector<std::uint8_t> data, bool empty_first) override;

private:
    std::map<std::uint32_t, std::vector<std::uint8_t>> m_other;
};

} // namespace corvane
