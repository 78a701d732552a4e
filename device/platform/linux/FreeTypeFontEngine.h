#pragma once

#include "device/platform/FontEngine.h"

#include <memory>

namespace corvane {

// Fonts through fontconfig (name matching, fallback for missing characters) and FreeType
// (hinted, anti-aliased rasterising). Bold and italic are synthesised when the matched face has
// no such style. Main thread only.
class FreeTypeFontEngine final : public FontEngine {
public:
    FreeTypeFontEngine();
    ~FreeTypeFontEngine() override;
    FreeTypeFontEngine(const FreeTypeFontEngine&) = delete;
    FreeTypeFontEngine& operator=(const FreeTypeFontEngine&) = delete;

    std::unique_ptr<FontFace> open_face(const FontFaceRequest& request) override;

    struct Library;

private:
    std::unique_ptr<Library> m_library;
};

} // namespace corvane
