#include "device/core/FatalFault.h"
#include "device/screens/Document.h"
#include "device/screens/forms/ListForm.h"
#include "device/screens/forms/MessageForm.h"
#include "device/screens/tests/ScreenTestSupport.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/widgets/SpinnerElement.h"
#include "device/skin/widgets/TextElement.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// The real default skin and English texts over a headless application.
class Forms : public ::testing::Test, protected HeadlessScreens {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(start()); }

    static WString shown_text(const Element& root, WStringView id)
    {
        return element_text(find_descendant(root, id));
    }
};

struct Presses final : FormListener, ListFormOwner {
    void form_button(Form& form, ButtonElement& button) override
    {
        buttons.push_back(button.id());
        open_when_told = form.is_open();
    }
    void row_pressed(ListForm&, std::int32_t section, std::int32_t row) override
    {
        rows.emplace_back(section, row);
    }
    void leaving(ListForm& form) override
    {
        ++leaves;
        open_when_told = form.is_open();
    }
    std::vector<WString> buttons;
    std::vector<std::pair<std::int32_t, std::int32_t>> rows;
    int leaves { 0 };
    bool open_when_told { false };
};

// A message form closes itself before its listener hears of the press, and the texts its owner
// set survive a reload of the skin. Any node makes a message form: its parts are all optional.
TEST_F(Forms, MessageFormClosesFirstAndKeepsItsTextsAcrossReloads)
{
    Presses presses;
    MessageForm form(properties, u"FormMessage", &presses);
    form.set_caption(u"Trouble");
    form.set_text(u"Something went wrong.");
    form.show(true, false);
    properties.send_reload_skin();
    EXPECT_EQ(shown_text(form, u"caption"), u"Trouble");
    EXPECT_EQ(shown_text(form, u"text"), u"Something went wrong.");
    ASSERT_NE(form.ok_button(), nullptr);
    form.ok_button()->handler()->clicked(*form.ok_button(), {}, 0);
    EXPECT_EQ(presses.buttons, std::vector<WString> { u"btnOk" });
    EXPECT_FALSE(presses.open_when_told);
    EXPECT_FALSE(form.is_open());

    MessageForm bare(properties, u"SkinReload");
    EXPECT_EQ(bare.ok_button(), nullptr);
    EXPECT_EQ(bare.cancel_button(), nullptr);
    bare.set_text(u"ignored");
    EXPECT_THROW(MessageForm(properties, u"NoSuchNode"), NodeNotFoundInSkin);
}

// A list form's rows carry their texts, check and enabled state; headers are translated;
// "back" tells the owner before the form closes; a reload rebuilds the rows from the same data.
TEST_F(Forms, ListFormDrawsItsRowsAndSurvivesAReload)
{
    Presses presses;
    ListForm form(properties, u"Colors", u"ColorSeparator", u"ColorElement", 2, &presses);
    form.build();
    form.set_title(u"Statuses");
    ListSection first { u"vizStatus1",
        { { u"Red", u"", 1, true, true }, { u"Grey", u"", 0, false, false } } };
    ListSection second { u"Finished text", { { u"Alone", u"value", 7, false, true } } };
    form.set_sections({ first, second });
    form.show(false, false);
    application->advance(0.05);
    for (int reloads = 0; reloads < 2; ++reloads) {
        SCOPED_TRACE(reloads);
        EXPECT_EQ(form.list().total(), 5); // two headers and three rows
        Element* header = form.list().list()->live_item(0);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(shown_text(*header, u"name"), properties.language_table().at(u"vizStatus1"));
        Element* checked = form.list().list()->live_item(1);
        ASSERT_NE(checked, nullptr);
        EXPECT_EQ(shown_text(*checked, u"value"), u"Red");
        EXPECT_TRUE(find_descendant(*checked, u"check_n")->is_visible());
        Element* disabled = form.list().list()->live_item(2);
        ASSERT_NE(disabled, nullptr);
        EXPECT_FALSE(find_descendant(*disabled, u"check_n")->is_visible());
        EXPECT_FALSE(find_descendant(*disabled, u"value")->is_enabled());
        Element* alone = form.list().list()->live_item(4);
        ASSERT_NE(alone, nullptr);
        EXPECT_EQ(shown_text(*alone, u"value"), u"Alone");
        EXPECT_EQ(shown_text(*alone, u"#value_text"), u"value");
        EXPECT_EQ(shown_text(form, u"title"), u"Statuses");
        properties.send_reload_skin();
        application->advance(0.05);
    }
    // A disabled row does not answer; an enabled one does.
    form.list().activated(*form.list().list(), 2);
    form.list().activated(*form.list().list(), 4);
    EXPECT_EQ(presses.rows, (std::vector<std::pair<std::int32_t, std::int32_t>> { { 1, 0 } }));

    auto& back = *dynamic_cast<ButtonElement*>(find_descendant(form, u"back"));
    back.handler()->clicked(back, {}, 0);
    EXPECT_EQ(presses.leaves, 1);
    EXPECT_TRUE(presses.open_when_told);
    EXPECT_FALSE(form.is_open());
}

// The document is one per run.
TEST_F(Forms, ASecondDocumentIsAFatalFault)
{
    setenv("CORVANE_CACHE", (env.folder() + "/cache.dat").c_str(), 1);
    ScopedElementKind spinner(u"spinner", element_factory<SpinnerElement>());
    Document document(*application, properties, u"http://127.0.0.1:9/");
    EXPECT_EQ(Document::instance(), &document);
    EXPECT_EXIT(Document(*application, properties, u"http://127.0.0.1:9/"),
        ::testing::ExitedWithCode(fatal_exit_code()), "");
    unsetenv("CORVANE_CACHE");
}

} // namespace
