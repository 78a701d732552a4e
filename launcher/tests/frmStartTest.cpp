#include "launcher/frmStart.h"
#include "launcher/Text.h"
#include "launcher/tests/LauncherSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace lumbra;
using namespace lumbra::test;
using testing::ElementsAre;

namespace {

constexpr std::u16string_view app_paths
    = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAPPMGR.EXE";

// A medium folder with the given "Lumbra.ini", a fake platform speaking English (ENU), and
// the form under test.
class FormTest : public testing::Test {
protected:
    void load(std::string_view ini)
    {
        form.reset(); // A second load: the old form must go before what it points to.
        medium.write("Lumbra.ini", crlf(ini));
        options = std::make_unique<COptions>(
            MacroValues { from_utf8(medium.path()), u"/opt", u"/usr/share" }, "English");
        options->LoadIni(medium.file("Lumbra.ini"));
        platform.set_registry(
            RegistryRoot::CurrentUser, u"Control Panel\\International", u"sLanguage", u"ENU");
        view = std::make_unique<FakeStartWindow>(platform.log);
        form = std::make_unique<frmStart>(*options, platform, *view, medium.path());
    }

    std::string uri(std::string_view relative) const
    {
        return "load file://" + medium.file(relative);
    }

    TempFolder medium;
    FakePlatform platform;
    std::unique_ptr<COptions> options;
    std::unique_ptr<FakeStartWindow> view;
    std::unique_ptr<frmStart> form;
};

} // namespace

// Set-up takes caption, the view's tool-tip, size and shape from the settings, then shows
// "ui_index". A caption for the view means nothing to it and is left alone.
TEST_F(FormTest, set_up_sizes_shapes_and_shows_first_page)
{
    load("[Forms]\nfrmStart=Corvane Setup\nWebBrowser=ignored\nWebBrowserToolTip=Click to "
         "install\n[layout]\nwidth=640.6\nheight= 480px\nround=24\n"
         "[ui_index]\ndefault=html/index.html\n");
    form->set_up();
    EXPECT_THAT(platform.log,
        ElementsAre("caption Corvane Setup", "tooltip Click to install", "frameless at origin",
            "size 641x480", "shape", uri("html/index.html")));
    EXPECT_TRUE(view->shape.contains(320, 240));
    EXPECT_FALSE(view->shape.contains(2, 2)); // Rounded corner.

    // Missing layout values give a window without size or shape, and no page.
    platform.log.clear();
    load("");
    form->set_up();
    EXPECT_THAT(platform.log, ElementsAre("frameless at origin", "size 0x0", "shape"));
    EXPECT_TRUE(view->shape.is_empty());
}

// The page for the user's language wins; "default" serves every other language.
TEST_F(FormTest, page_choice_by_language)
{
    load("[ui_index]\nRUS=html/ru/index.html\ndefault=http://example.invalid/start\n"
         "[only_default]\ndefault=$app.path$/html/help page.html\n[none]\nDEU=x.html\n");
    form->show_page(u"ui_index");
    platform.set_registry(
        RegistryRoot::CurrentUser, u"Control Panel\\International", u"sLanguage", u"RUS");
    form->show_page(u"UI_INDEX");
    form->show_page(u"only_default");
    form->show_page(u"none");
    form->show_page(u"no such section");
    EXPECT_THAT(platform.log,
        ElementsAre("load http://example.invalid/start", uri("html/ru/index.html"),
            uri("html/help%20page.html")));
}

// No element, or the minimise button, answers false; an id without a section, or an empty id,
// answers true; neither acts on any settings.
TEST_F(FormTest, clicks_without_actions)
{
    load("[btnMinimize]\nclose=1\nshellexecute=/bin/true\n[other]\nclose=1\n");
    EXPECT_FALSE(form->handle_click({ 0, std::nullopt }));
    EXPECT_TRUE(form->handle_click({ 0, u"logo" }));
    EXPECT_TRUE(form->handle_click({ 0, u"" }));
    EXPECT_TRUE(platform.log.empty());
    EXPECT_FALSE(form->handle_click({ 1, u"btnMinimize" }));
    EXPECT_THAT(platform.log, ElementsAre("minimise"));
}

// One click may start the application manager, open a file and close, in that order; "action"
// is the verb, empty meaning "open".
TEST_F(FormTest, actions_run_in_order)
{
    load("[btnInstall]\nclose=yes\nshellexecute=$app.path$/readme.txt\nceappmgr=Corvane.ini\n"
         "cmd_line=-q \"two words\"\nworking_folder=/tmp\n"
         "[btnPrint]\nshellexecute=doc.pdf\naction=print\n");
    platform.set_registry(
        RegistryRoot::LocalMachine, std::u16string(app_paths), u"", u"/usr/bin/ceappmgr");
    EXPECT_TRUE(form->handle_click({ 2, u"BTNINSTALL" }));
    EXPECT_THAT(platform.log,
        ElementsAre("open open|/usr/bin/ceappmgr|\"Corvane.ini\"|" + medium.path(),
            "open open|" + medium.path() + "/readme.txt|-q \"two words\"|/tmp", "close"));
    platform.log.clear();
    EXPECT_TRUE(form->handle_click({ 0, u"btnPrint" }));
    EXPECT_THAT(platform.log, ElementsAre("open print|doc.pdf||"));
}

// An unregistered application manager shows the "fail" page without trying to start anything,
// and so does a target that fails to open; the rest of the click still runs. With no "fail"
// nothing visible happens.
TEST_F(FormTest, failures_show_the_fail_page)
{
    load("[btnUnregistered]\nceappmgr=Corvane.ini\nfail=ui_fail\nclose=1\n"
         "[btnQuiet]\nceappmgr=Corvane.ini\n"
         "[btnInstall]\nceappmgr=Corvane.ini\nshellexecute=setup.sh\nfail=ui_fail\n"
         "[btnReadme]\nshellexecute=readme.txt\n"
         "[ui_fail]\ndefault=html/fail.html\n");
    EXPECT_TRUE(form->handle_click({ 0, u"btnUnregistered" }));
    EXPECT_TRUE(form->handle_click({ 0, u"btnQuiet" }));
    EXPECT_THAT(platform.log, ElementsAre(uri("html/fail.html"), "close"));

    platform.log.clear();
    platform.set_registry(
        RegistryRoot::LocalMachine, std::u16string(app_paths), u"", u"/usr/bin/ceappmgr");
    platform.open_succeeds = false;
    EXPECT_TRUE(form->handle_click({ 0, u"btnInstall" }));
    EXPECT_TRUE(form->handle_click({ 0, u"btnReadme" }));
    EXPECT_THAT(platform.log,
        ElementsAre("open open|/usr/bin/ceappmgr|\"Corvane.ini\"|" + medium.path(),
            uri("html/fail.html"), "open open|setup.sh||", uri("html/fail.html"),
            "open open|readme.txt||"));
}

TEST(LayoutNumber, lenient_parsing)
{
    EXPECT_EQ(parse_layout_number(u"640"), 640);
    EXPECT_EQ(parse_layout_number(u" 12.5 "), 12.5);
    EXPECT_EQ(parse_layout_number(u"+7px"), 7);
    EXPECT_EQ(parse_layout_number(u"-3"), -3);
    EXPECT_EQ(parse_layout_number(u"wide"), 0);
    EXPECT_EQ(parse_layout_number(u""), 0);
    EXPECT_EQ(parse_layout_number(u"1e999"), 0);
}
