#include "device/screens/tests/ScenarioTest.h"

#include "device/core/testing/TempFolder.h"
#include "testing/PrivateDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace corvane;
using namespace corvane::test;

namespace {

// The private X server the program shows its window on, and what the test sees of it.
class XServer : public PrivateDisplay {
public:
    bool open()
    {
        m_display = start() ? XOpenDisplay(name().c_str()) : nullptr;
        return m_display != nullptr;
    }
    ~XServer()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    // Runs an X tool on this display to its end; answers its exit status and what it printed.
    int run(std::vector<std::string> args, std::string* output = nullptr,
        std::optional<std::string> input = {}) const
    {
        Launch launch;
        launch.arguments = std::move(args);
        launch.environment = { { "DISPLAY", name() } };
        launch.input = std::move(input);
        return run_to_end(std::move(launch), output);
    }

    // The window's pixels as the X server holds them.
    std::vector<unsigned long> capture(Window window) const
    {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(m_display, window, &attributes))
            return {};
        XImage* image = XGetImage(
            m_display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
        if (!image)
            return {};
        std::vector<unsigned long> pixels;
        for (int y = 0; y < image->height; ++y)
            for (int x = 0; x < image->width; ++x)
                pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return pixels;
    }

private:
    Display* m_display { nullptr };
};

class RealInput : public ScenarioTest {
protected:
    void SetUp() override
    {
        ScenarioTest::SetUp();
        if (!x.open())
            GTEST_SKIP() << "Xvfb could not be started: the real-window test needs it";
        for (const char* tool : { "xdotool", "xclip" })
            if (x.run({ "sh", "-c", std::string("command -v ") + tool }) != 0)
                GTEST_SKIP() << tool << " is not installed (scripts/setup-deps.sh installs it)";
    }

    // Starts the device program in its window and waits until it has drawn and stopped moving.
    void start_device(const std::string& display)
    {
        // No --dpi: a small display must get a density it can be used at.
        Launch launch;
        launch.arguments = { program_folder() + "/corvane", "--display", display, "--service",
            to_utf8(server->base_url()) };
        launch.environment = device_environment();
        launch.environment["DISPLAY"] = x.name();
        launch.output_file = "/dev/null";
        device = std::make_unique<ChildProcess>(std::move(launch));
        ASSERT_TRUE(device->started());
        std::string found;
        ASSERT_EQ(x.run({ "timeout", "20", "xdotool", "search", "--sync", "--onlyvisible", "--pid",
                            std::to_string(device->pid()) },
                      &found),
            0)
            << "the program's window did not appear";
        window = std::stoul(found);
        ASSERT_EQ(x.run({ "xdotool", "windowfocus", "--sync", std::to_string(window) }), 0);
        settle();
    }

    // Waits until two looks at the window, 150 ms apart, find the same pixels (no animation
    // running), and answers them.
    std::vector<unsigned long> settle()
    {
        std::vector<unsigned long> last = x.capture(window);
        std::vector<unsigned long> now;
        bool still = wait_until([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            now = x.capture(window);
            bool same = now == last;
            last = now;
            return same && !now.empty();
        });
        EXPECT_TRUE(still) << "the window kept changing";
        return now;
    }

    // A click at a place of the window; waits until the window shows the answer and settles.
    void click(int x_at, int y_at)
    {
        std::vector<unsigned long> before = settle();
        ASSERT_EQ(x.run({ "xdotool", "mousemove", "--window", std::to_string(window),
                      std::to_string(x_at), std::to_string(y_at), "click", "1" }),
            0);
        EXPECT_TRUE(wait_until([&] { return x.capture(window) != before; }))
            << "nothing changed after a click at " << x_at << "," << y_at;
        settle();
    }
    void type(const std::string& text)
    {
        ASSERT_EQ(x.run({ "xdotool", "type", "--delay", "20", text }), 0);
        settle();
    }
    void key(const std::string& name)
    {
        ASSERT_EQ(x.run({ "xdotool", "key", name }), 0);
        settle();
    }

    std::string clipboard() const
    {
        std::string text;
        x.run({ "xclip", "-o", "-selection", "clipboard" }, &text);
        return text;
    }
    // xclip stays behind as the clipboard's owner until another program takes it.
    void set_clipboard(const std::string& text)
    {
        ASSERT_EQ(x.run({ "xclip", "-i", "-selection", "clipboard" }, nullptr, text), 0);
    }

    // The mail the service wrote for an invited address.
    std::string mail_to(const std::string& address) const
    {
        for (const auto& entry : std::filesystem::directory_iterator(server->outbox())) {
            std::string content = read_file(entry.path());
            if (content.find("To: " + address) != std::string::npos)
                return content;
        }
        return {};
    }

    XServer x;
    std::unique_ptr<ChildProcess> device;
    Window window { 0 };
};

bool holds(const std::vector<Permission>& list, WStringView email, std::int32_t user = -1)
{
    return std::any_of(list.begin(), list.end(), [&](const Permission& p) {
        return (email.empty() || p.email == email) && (user == -1 || p.userId == user);
    });
}

} // namespace

// Bob at a real window, with the mouse and the keyboard through the X server: he logs in
// (Tab between the fields, Enter to send), comments on a project, leaves the sharing screen
// with the caret in its field and types on, then invites an address; tickets on the desktop
// clipboard are left alone when he is a member already and redeemed when he is not.
TEST_F(RealInput, a_person_at_the_window)
{
    Client& bob = user(u"bob@example.com", u"Bob");
    Client& ann = user(u"ann@example.com", u"Ann");
    std::int32_t garden = ann.create(0, u"Garden");
    std::int32_t shed = ann.create(0, u"Shed");
    ASSERT_GT(garden, 0);
    ASSERT_GT(shed, 0);
    ASSERT_EQ(ann.act([&](Engine& e) { e.change_permission(garden, u"bob@example.com", 2); }), u"");
    ASSERT_EQ(
        ann.act([&](Engine& e) { e.change_permission(garden, u"erin@example.org", 2); }), u"");
    ASSERT_EQ(ann.act([&](Engine& e) { e.change_permission(shed, u"carol@example.org", 2); }), u"");
    std::string garden_mail = mail_to("erin@example.org");
    std::string shed_mail = mail_to("carol@example.org");
    ASSERT_NE(garden_mail.find("--START-OF-TICKET--"), std::string::npos);
    ASSERT_NE(shed_mail.find("--START-OF-TICKET--"), std::string::npos);

    // A ticket to a project Bob already belongs to waits on the clipboard before he logs in.
    set_clipboard(garden_mail);
    start_device("320x480");

    // The places below are the default skin's at 320x480 and 96 dpi.
    click(195, 135); // "email"
    type("bob@example.com");
    key("Tab");
    type("secret-bob@example.com");
    key("Return");
    ASSERT_TRUE(wait_until([&] { return server->calls_of("activateTicket") >= 1; }))
        << "the program did not log in and look at the clipboard";
    settle();
    EXPECT_EQ(clipboard(), garden_mail) << "a member's ticket must stay for forwarding";
    EXPECT_TRUE(holds(permissions_of(ann, garden), u"erin@example.org"));

    // A comment on Garden, through its task screen and the comment editor.
    click(300, 168); // Garden's "info"
    click(160, 316); // "comment"
    type("Fence primed");
    click(300, 18); // the editor's "save"
    click(300, 18); // the task's "save", which returns to the projects
    ASSERT_TRUE(wait_until([&] { return server->calls_of("updateTask") >= 1; }));
    ann.act([&](Engine& e) { e.open_task(garden); });
    const Task* seen = ann.engine->find_task(garden);
    ASSERT_NE(seen, nullptr);
    ASSERT_FALSE(seen->loadedChanges.empty());
    EXPECT_EQ(seen->loadedChanges.front().text, u"Fence primed");

    // The sharing screen is left with the caret in its field; what is typed next must not
    // end up in the next invitation.
    click(300, 168); // Garden's "info"
    click(162, 354); // "share"
    click(105, 455); // "email"
    click(31, 18); // "back"
    type("leak");
    click(162, 354); // "share"
    click(105, 455); // "email"
    type("dora@example.org");
    // Meanwhile a ticket for Shed arrives; the next sync redeems it.
    set_clipboard(shed_mail);
    click(258, 455); // "plus"
    ASSERT_TRUE(wait_until([&] { return holds(permissions_of(ann, garden), u"dora@example.org"); }))
        << "the invitation did not reach the service";
    EXPECT_FALSE(holds(permissions_of(ann, garden), u"leakdora@example.org"));
    std::int32_t bob_id = bob.engine->auth().userId;
    EXPECT_TRUE(wait_until([&] { return holds(permissions_of(ann, shed), u"", bob_id); }))
        << "the ticket on the clipboard was not redeemed";
    EXPECT_EQ(clipboard().find("--START-OF-TICKET--"), std::string::npos)
        << "a redeemed ticket is taken off the clipboard";
}
