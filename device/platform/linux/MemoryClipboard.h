#pragma once

#include "device/platform/Clipboard.h"

#include <map>
#include <mutex>

namespace corvane {

// An in-process clipboard: what headless runs and tests use.
class MemoryClipboard final : public Clipboard {
public:
    std::optional<std::vector<std::uint8_t>> get(std::uint32_t format) override
    {
        std::lock_guard lock(m_mutex);
        auto it = m_data.find(format);
        if (it == m_data.end())
            return std::nullopt;
        return it->second;
    }
    bool set(std::uint32_t format, std::vector<std::uint8_t> data, bool empty_first) override
    {
        std::lock_guard lock(m_mutex);
        if (empty_first)
            m_data.clear();
        m_data[format] = std::move(data);
        return true;
    }

private:
    std::mutex m_mutex;
    std::map<std::uint32_t, std::vector<std::uint8_t>> m_data;
};

} // namespace corvane
