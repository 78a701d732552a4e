#pragma once

#include "common/base/Text.h"

#include <memory>

namespace corvane {

struct DisplayInfo;
struct SkinContent;

// One load of a skin file, built completely before it replaces the skin in force: construction
// reads and checks the file, loads its pictures and creates its fonts. A load that failed
// holds no content and has logged why. Main thread.
class PropertiesImpl {
public:
    PropertiesImpl(WStringView path, const DisplayInfo& display);
    ~PropertiesImpl();
    PropertiesImpl(const PropertiesImpl&) = delete;
    PropertiesImpl& operator=(const PropertiesImpl&) = delete;

    bool is_loaded() const { return m_content != nullptr; }
    std::unique_ptr<SkinContent>& content() { return m_content; }

private:
    std::unique_ptr<SkinContent> m_content;
};

// Writes seconds given in milliseconds as a decimal number ("0.125").
WString format_seconds(std::uint32_t milliseconds);

} // namespace corvane
