#include "device/screens/sharing/SharingScreen.h"
#include "device/core/CActiveScheduler.h"
#include "device/model/engine/Engine.h"
#include "device/model/engine/EngineListener.h"
#include "device/model/engine/tests/EngineHarness.h"
#include "device/screens/sharing/SharingForm.h"
#include "device/screens/sharing/SharingHost.h"
#include "device/screens/tests/ScreenTestSupport.h"
#include "device/skin/widgets/EditElement.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

// What the document would do for the screen, once there is one: forward the engine's reports
// about users and records.
struct Reports final : EngineListener {
    SharingScreen* screen { nullptr };
    void on_users_changed() override
    {
        if (screen)
            screen->on_users_changed();
    }
    void on_task_changed(std::int32_t id) override
    {
        if (screen)
            screen->on_task_changed(id);
    }
    void on_task_removed(std::int32_t id) override
    {
        if (screen)
            screen->on_task_removed(id);
    }
};

struct Host final : SharingHost {
    Engine* model { nullptr };
    Properties* skin { nullptr };
    Engine& engine() override { return *model; }
    Properties& properties() override { return *skin; }
    void select_filter_user(std::int32_t) override { }
    void show_message(WStringView, WStringView) override { }
};

// The screen on a real headless application with the real default skin and English texts, and
// the real engine loaded from a cache. Nobody is logged in, so the engine keeps a permission
// change pending instead of sending it, which is what the screen shows as "wait".
class SharingScreenTest : public ::testing::Test, protected HeadlessScreens {
protected:
    static constexpr std::int32_t project_id = 40;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(start(320, 800));
        ASSERT_TRUE(frame.recreate(320, 800));

        engine = std::make_unique<Engine>(u"http://127.0.0.1:9/", reports);
        load_model({ User { u"ann@x.org", 1, u"Ann" }, User { u"bob@x.org", 2, u"Bob" },
            User { u"cid@x.org", 3, u"Cid" } });
        ASSERT_NE(engine->find_task(project_id), nullptr);

        host.model = engine.get();
        host.skin = &properties;
        screen = std::make_unique<SharingScreen>(host);
        reports.screen = screen.get();
    }

    // Gives the engine the project "Garden" (two invitations and Bob as a member) and `users`.
    void load_model(std::vector<User> users)
    {
        EngineCache cache;
        Task project;
        project.id = project.projectId = project_id;
        project.parentId = 0;
        project.title = u"Garden\nbeds and paths";
        project.permissions
            = { { 2, u"new@x.org", 0 }, { 2, u"bob@x.org", 2 }, { 2, u"late@x.org", 0 } };
        cache.tasks.push_back(project);
        cache.users = std::move(users);
        ASSERT_EQ(load_cache(*engine, cache), Engine::CacheLoad::Loaded);
    }

    // The screen goes before the engine (members die in reverse), and the engine reports to
    // nobody once the screen is gone.
    void TearDown() override { reports.screen = nullptr; }

    // Lets deferred presses run, then lays out and paints, so the list holds live rows.
    void settle()
    {
        CActiveScheduler::current().process_actives();
        for (int i = 0; i < 3; ++i) {
            application->advance(0.05);
            application->draw_frame(frame);
        }
    }

    // The sharing manager of "Garden", laid out and painted.
    void open_sharing()
    {
        screen->open(project_id, -1, SharingScreen::Share, nullptr);
        settle();
    }
    SharingForm& form() { return screen->form(); }
    VListElement& list() { return *form().list().list(); }

    // A button of a row's live element; null when the row is not in view.
    ButtonElement* row_button(std::int32_t section, std::int32_t row, WStringView id)
    {
        Element* element = list().live_item(form().list().index_of(section, row));
        return element ? Form::optional_in<ButtonElement>(*element, id) : nullptr;
    }
    // The row's buttons that show, e.g. "remove confirm_remove ".
    std::string buttons(std::int32_t section, std::int32_t row)
    {
        std::string out;
        for (const char16_t* id : { u"add", u"remove", u"confirm_remove" }) {
            ButtonElement* button = row_button(section, row, id);
            out += button && button->is_visible() ? to_utf8(id) + " " : "";
        }
        return out;
    }
    void click(ButtonElement* button)
    {
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->handler(), nullptr);
        button->handler()->clicked(*button, {}, 1);
        settle();
    }

    RenderSurface frame;
    Reports reports;
    std::unique_ptr<Engine> engine;
    Host host;
    std::unique_ptr<SharingScreen> screen;
};

} // namespace

// Sharing: each row's buttons follow its look (which rows get which is a rule of their own);
// the e-mail invitation is offered with the project's name. "plus" with an empty address still
// sends the change; a second one meanwhile waits behind the first, and the edit is cleared.
TEST_F(SharingScreenTest, share_mode_shows_the_buttons_each_row_allows)
{
    open_sharing();
    ASSERT_TRUE(screen->is_open());
    EXPECT_EQ(form().row_node(), u"SharingElementNoPress");
    EXPECT_TRUE(form().email_edit().is_visible());
    EXPECT_TRUE(form().plus().is_visible());
    EXPECT_EQ(element_text(&form().invite_to()), u"Invite to Garden by e-mail:");
    EXPECT_FALSE(form().wait_node().is_visible());
    EXPECT_TRUE(list().is_enabled());
    EXPECT_EQ(buttons(Invitations, 1), "remove ");
    ASSERT_NE(row_button(Participants, 0, u"value"), nullptr);
    EXPECT_FALSE(row_button(Participants, 0, u"value")->is_enabled());
    EXPECT_EQ(buttons(Participants, 0), "");
    EXPECT_EQ(buttons(Others, 1), "add ");
    // A name beside a button ends before the button (and its margin) instead of under it.
    for (auto [section, id] : { std::pair { Invitations, u"remove" }, { Others, u"add" } }) {
        Element* name = find_descendant(*row_button(section, 0, u"value"), u"#text");
        ASSERT_TRUE(name && name->parent());
        Element& line = *name->parent(); // where the name may reach
        EXPECT_LE(line.x() + line.width(), row_button(section, 0, id)->x()) << section;
    }

    click(&form().plus());
    EXPECT_TRUE(engine->task_pending(project_id));
    EXPECT_TRUE(form().wait_node().is_visible());
    form().set_email(u"someone@x.org");
    click(&form().plus());
    EXPECT_EQ(form().email(), u"");
}

// A skin reload rebuilds the form: the invitation field and the row buttons come back as they
// were, and the new buttons work. A real tap on "add" goes through the list and the row while
// the change rebuilds every row; the press must act after the event, not inside it (the
// sanitizer build checks this).
TEST_F(SharingScreenTest, reload_keeps_the_form_and_a_real_tap_adds)
{
    open_sharing();
    properties.send_reload_skin();
    settle();
    EXPECT_TRUE(form().email_edit().is_visible());
    EXPECT_EQ(element_text(&form().invite_to()), u"Invite to Garden by e-mail:");
    EXPECT_EQ(buttons(Others, 0), "add ");
    ButtonElement* add = row_button(Others, 1, u"add");
    ASSERT_NE(add, nullptr);
    Point at { add->x() + add->width() / 2, add->y() + add->height() / 2 };
    std::uint32_t now = clock.tick_count_ms();
    application->on_pointer_button({ at.x, at.y, now, 0, true, false });
    application->on_pointer_button({ at.x, at.y, now + 50, 0, false, false });
    settle();
    EXPECT_TRUE(engine->task_pending(project_id));
    EXPECT_TRUE(form().wait_node().is_visible());
}

// Removing the project closes the screen, and later reports about it change nothing.
TEST_F(SharingScreenTest, removed_project_closes_the_screen)
{
    open_sharing();
    screen->on_task_removed(project_id + 1);
    EXPECT_EQ(screen->project(), project_id);
    screen->on_task_removed(project_id);
    EXPECT_EQ(screen->project(), sharing_idle);
    settle();
    EXPECT_FALSE(screen->is_open());
    std::size_t rows = form().sections()[Others].rows.size();
    screen->on_users_changed();
    EXPECT_EQ(form().sections()[Others].rows.size(), rows);
}

// Rows rebuilt between a press and its action: the action follows its row by what it showed,
// and is dropped when that row is gone, rather than acting on whatever row took its place.
TEST_F(SharingScreenTest, press_follows_its_row_across_a_rebuild)
{
    open_sharing();
    ASSERT_EQ(form().row(Others, 0)->text, u"Ann");
    ButtonElement* add_ann = row_button(Others, 0, u"add");
    ASSERT_NE(add_ann, nullptr);
    add_ann->handler()->clicked(*add_ann, {}, 1);
    // Before the press runs, the users change and Ann is no longer known: Cid takes row 0.
    load_model({ User { u"bob@x.org", 2, u"Bob" }, User { u"cid@x.org", 3, u"Cid" } });
    screen->on_users_changed();
    ASSERT_EQ(form().row(Others, 0)->text, u"Cid");
    settle();
    EXPECT_FALSE(engine->task_pending(project_id)) << "Cid must not be added for Ann";

    // "remove" on one row and then on another leaves only the second awaiting confirmation,
    // also across a rebuild; nothing is sent before the confirmation, and then the list waits
    // for the change while the screen stays open.
    click(row_button(Invitations, 0, u"remove"));
    EXPECT_EQ(buttons(Invitations, 0), "confirm_remove ");
    click(row_button(Invitations, 1, u"remove"));
    EXPECT_EQ(buttons(Invitations, 0) + "| " + buttons(Invitations, 1), "remove | confirm_remove ");
    screen->on_task_changed(project_id);
    settle();
    ASSERT_TRUE(screen->pending_removal());
    EXPECT_EQ(std::pair(screen->pending_removal()->section, screen->pending_removal()->row),
        std::pair(std::int32_t(Invitations), 1));
    EXPECT_EQ(buttons(Invitations, 0) + "| " + buttons(Invitations, 1), "remove | confirm_remove ");
    EXPECT_FALSE(engine->task_pending(project_id));
    click(row_button(Invitations, 1, u"confirm_remove"));
    EXPECT_FALSE(screen->pending_removal());
    EXPECT_TRUE(engine->task_pending(project_id));
    EXPECT_TRUE(form().wait_node().is_visible());
    EXPECT_FALSE(list().is_enabled());
    EXPECT_TRUE(screen->is_open());
}
