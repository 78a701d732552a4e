#pragma once

#include "device/skin/skin/tests/SkinTestSupport.h"

#include "device/core/testing/TestEnvironment.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinErrors.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/EditElement.h"
#include "device/skin/widgets/ImageElement.h"
#include "device/skin/widgets/LabelEditElement.h"
#include "device/skin/widgets/MultiNodeElement.h"
#include "device/skin/widgets/ProgressElement.h"
#include "device/skin/widgets/RichTextElement.h"
#include "device/skin/widgets/SpinnerElement.h"
#include "device/skin/widgets/TextElement.h"
#include "device/skin/widgets/VListElement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace corvane::test {

// Every element kind the program registers, for one test.
struct AllKinds {
    CoreKinds core;
    ScopedElementKind text { u"text", element_factory<TextElement>() };
    ScopedElementKind image { u"image", element_factory<ImageElement>() };
    ScopedElementKind edit { u"edit", element_factory<EditElement>() };
    ScopedElementKind button { u"button", element_factory<ButtonElement>() };
    ScopedElementKind vlist { u"vlist", element_factory<VListElement>() };
    ScopedElementKind multinode { u"multinode", element_factory<MultiNodeElement>() };
    ScopedElementKind progress { u"progress", element_factory<ProgressElement>() };
    ScopedElementKind label_edit { u"label_edit", element_factory<LabelEditElement>() };
    ScopedElementKind richtext { u"richtext", element_factory<RichTextElement>() };
    ScopedElementKind spinner { u"spinner", element_factory<SpinnerElement>() };
};

// The widget test skin, compiled from the source tree by the real compiler into the test's
// temporary folder. Empty when compiling failed; `errors` then holds the compiler's output.
inline std::string compile_widget_test_skin(const std::string& folder, std::string& errors)
{
    const char* source_root = std::getenv("CORVANE_SOURCE_DIR");
    std::string source = std::string(source_root ? source_root : WIDGET_TEST_SOURCE_DIR)
        + "/device/skin/widgets/tests/skin/skin.json";
    std::filesystem::create_directories(folder + "/bin");
    std::string output = folder + "/bin/widgets.skin";
    return run_skinc("'" + source + "' -o '" + output + "'", errors) == 0 ? output : std::string();
}

// A loaded test skin and a root built from one of its nodes, laid out at 240 x 320.
class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string errors;
        std::string skin = compile_widget_test_skin(env.folder(), errors);
        ASSERT_FALSE(skin.empty()) << errors;
        ASSERT_TRUE(properties.load_skin(from_utf8(skin), DisplayInfo::make(240, 320, 0, 96)));
    }

    Element& build(WStringView node, std::int32_t width = 240, std::int32_t height = 320)
    {
        root = std::make_unique<Element>();
        build_from_node_or_throw(*root, properties, node);
        root->set_x(0, width);
        root->set_y(0, height);
        return *root;
    }

    template<typename Kind> Kind& find(WStringView id)
    {
        auto* found = dynamic_cast<Kind*>(find_descendant(*root, id));
        if (!found)
            throw NodeNotFound(u"test", id);
        return *found;
    }

    void layout()
    {
        root->set_x(root->x(), root->width());
        root->set_y(root->y(), root->height());
    }

    TestEnvironment env;
    AllKinds kinds;
    Properties properties;
    std::unique_ptr<Element> root;
};

// Runs `element` for `seconds` in steps of `step`, as the frame clock would.
inline void run_for(Element& element, double seconds, double step = 0.02)
{
    for (long i = std::lround(seconds / step); i > 0; --i)
        element.tick(step);
}

inline PointerEvent press_at(std::int32_t x, std::int32_t y, std::uint32_t time = 0)
{
    return { x, y, time, 0, true, false };
}

inline PointerEvent release_at(std::int32_t x, std::int32_t y, std::uint32_t time = 0)
{
    return { x, y, time, 0, false, false };
}

inline PointerEvent move_to(std::int32_t x, std::int32_t y, std::uint32_t time = 0)
{
    return { x, y, time, 0, false, false };
}

} // namespace corvane::test
