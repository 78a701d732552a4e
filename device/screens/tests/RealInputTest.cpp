#include "device/screens/tests/ScenarioTest.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <thread>

using namespace corvane;
using namespace corvane::test;

namespace {

using Clock = std::chrono::steady_clock;

// A started program that is ended and reaped with its owner.
class Child {
public:
    Child() = default;
    explicit Child(pid_t pid)
        : m_pid(pid)
    {
    }
    Child(Child&& other) noexcept
        : m_pid(std::exchange(other.m_pid, -1))
    {
    }
    Child& operator=(Child&& other) noexcept
    {
        std::swap(m_pid, other.m_pid);
        return *this;
    }
    ~Child()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid { -1 };
};

// Starts argv with `environment`, standard input from `input` (when given) and standard output
// into `output` (when given; else nowhere, so a program that stays behind cannot hold a pipe).
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& environment,
    int input = -1, int output = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv_text = args;
    std::vector<char*> argv;
    for (auto& a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text = environment;
    std::vector<char*> envp;
    for (auto& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A private X server for one test, so no other window takes the focus or the clipboard.
class XServer {
public:
    // False when Xvfb cannot be started here.
    bool start()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        // -displayfd picks a free display number and writes it on that descriptor.
        int child_end = fcntl(fds[1], F_DUPFD, 10); // without close-on-exec
        pid_t pid = spawn({ "Xvfb", "-displayfd", std::to_string(child_end), "-screen", "0",
                              "800x600x24", "-nolisten", "tcp" },
            environment_without_display());
        close(child_end);
        close(fds[1]);
        m_server = Child(pid);
        std::string number;
        auto deadline = Clock::now() + std::chrono::seconds(15);
        while (pid > 0 && number.find('\n') == std::string::npos && Clock::now() < deadline) {
            pollfd p { fds[0], POLLIN, 0 };
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buffer[32];
            ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        close(fds[0]);
        if (number.find('\n') == std::string::npos)
            return false;
        m_name = ":" + number.substr(0, number.find('\n'));
        m_display = XOpenDisplay(m_name.c_str());
        return m_display != nullptr;
    }
    ~XServer()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    const std::string& name() const { return m_name; }
    std::vector<std::string> environment(const std::vector<std::string>& extra = {}) const
    {
        // getenv() takes the first of two entries with one name: an inherited value (CTest
        // sets CORVANE_REGISTRY for every test) must not shadow the one given here.
        std::vector<std::string> env;
        for (const std::string& entry : environment_without_display()) {
            std::string name = entry.substr(0, entry.find('=') + 1);
            if (std::none_of(extra.begin(), extra.end(),
                    [&](const std::string& given) { return given.starts_with(name); }))
                env.push_back(entry);
        }
        env.push_back("DISPLAY=" + m_name);
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    // Runs an X tool to its end; answers its exit status and what it printed.
    int run(const std::vector<std::string>& args, std::string* output = nullptr,
        const std::string& input = {}) const
    {
        int out[2] = { -1, -1 };
        int in[2] = { -1, -1 };
        if (output && pipe2(out, O_CLOEXEC) != 0)
            return -1;
        if (!input.empty() && pipe2(in, O_CLOEXEC) != 0)
            return -1;
        pid_t pid = spawn(args, environment(), in[0], out[1]);
        if (out[1] >= 0)
            close(out[1]);
        if (in[0] >= 0) {
            close(in[0]);
            ssize_t written = write(in[1], input.data(), input.size());
            EXPECT_EQ(written, static_cast<ssize_t>(input.size()));
            close(in[1]);
        }
        if (output) {
            char buffer[4096];
            ssize_t n;
            while ((n = read(out[0], buffer, sizeof buffer)) > 0)
                output->append(buffer, static_cast<std::size_t>(n));
            close(out[0]);
        }
        if (pid <= 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    static std::vector<std::string> environment_without_display()
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string_view(*e).rfind("DISPLAY=", 0) != 0)
                env.emplace_back(*e);
        return env;
    }

    Child m_server;
    std::string m_name;
    Display* m_display { nullptr };
};

// Waits, up to `seconds`, for `done`, looking again every 50 ms.
template<typename Condition> bool poll_until(Condition done, int seconds = 15)
{
    auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

class RealInput : public ScenarioTest {
protected:
    void SetUp() override
    {
        ScenarioTest::SetUp();
        if (!x.start())
            GTEST_SKIP() << "Xvfb could not be started: the real-window test needs it";
        for (const char* tool : { "xdotool", "xclip" })
            if (x.run({ "sh", "-c", std::string("command -v ") + tool }) != 0)
                GTEST_SKIP() << tool << " is not installed (scripts/setup-deps.sh installs it)";
    }

    // Starts the device program in its window and waits until it has drawn and stopped moving.
    void start_device(const std::string& display)
    {
        std::vector<std::string> extra { "CORVANE_REGISTRY=" + device_registry(),
            "CORVANE_CACHE=" + device_cache(), "LANG=en_GB.UTF-8", "TMPDIR=" + profile(),
            "XDG_RUNTIME_DIR=" + profile() };
        // No --dpi: a small display must get a density it can be used at.
        device = Child(spawn({ bin_folder() + "/corvane", "--display", display, "--service",
                                 to_utf8(server->base_url()) },
            x.environment(extra)));
        ASSERT_GT(device.pid(), 0);
        std::string found;
        ASSERT_EQ(x.run({ "timeout", "20", "xdotool", "search", "--sync", "--onlyvisible", "--pid",
                            std::to_string(device.pid()) },
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
        bool still = poll_until([&] {
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
        EXPECT_TRUE(poll_until([&] { return x.capture(window) != before; }))
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
            std::ifstream file(entry.path());
            std::stringstream content;
            content << file.rdbuf();
            if (content.str().find("To: " + address) != std::string::npos)
                return content.str();
        }
        return {};
    }

    long calls_of(const std::string& method) const
    {
        std::vector<std::string> called = server->methods();
        return std::count(called.begin(), called.end(), method);
    }

    std::vector<Permission> permissions(Client& reader, std::int32_t project)
    {
        reader.act([&](Engine& e) { e.load_task(project); });
        const Task* task = reader.engine->find_task(project);
        return task ? task->permissions : std::vector<Permission> {};
    }

    XServer x;
    Child device;
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
    ASSERT_TRUE(poll_until([&] { return calls_of("activateTicket") >= 1; }))
        << "the program did not log in and look at the clipboard";
    settle();
    EXPECT_EQ(clipboard(), garden_mail) << "a member's ticket must stay for forwarding";
    EXPECT_TRUE(holds(permissions(ann, garden), u"erin@example.org"));

    // A comment on Garden, through its task screen and the comment editor.
    click(300, 168); // Garden's "info"
    click(160, 316); // "comment"
    type("Fence primed");
    click(300, 18); // the editor's "save"
    click(300, 18); // the task's "save", which returns to the projects
    ASSERT_TRUE(poll_until([&] { return calls_of("updateTask") >= 1; }));
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
    ASSERT_TRUE(poll_until([&] { return holds(permissions(ann, garden), u"dora@example.org"); }))
        << "the invitation did not reach the service";
    EXPECT_FALSE(holds(permissions(ann, garden), u"leakdora@example.org"));
    std::int32_t bob_id = bob.engine->auth().userId;
    EXPECT_TRUE(poll_until([&] { return holds(permissions(ann, shed), u"", bob_id); }))
        << "the ticket on the clipboard was not redeemed";
    EXPECT_EQ(clipboard().find("--START-OF-TICKET--"), std::string::npos)
        << "a redeemed ticket is taken off the clipboard";
}
