#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// The clipboard, by platform format number (1 text, 8 device-independent bitmap, 11 RIFF,
// 13 Unicode text: UTF-16LE ended by a zero character). Main thread.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The data of one format, or nothing when the clipboard has none of it.
    virtual std::optional<std::vector<std::uint8_t>> get(std::uint32_t format) = 0;
    // Stores data of one format; `empty_first` drops every other format first.
    virtual bool set(std::uint32_t format, std::vector<std::uint8_t> data, bool empty_first) = 0;
};

} // namespace corvane
