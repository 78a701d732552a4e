// corvane-chaos: a soak run of the outbox and the service's idempotency keys. Three accounts
// share one project and make random progress edits with comments through a loopback proxy that
// loses replies and resets requests, while the real vizserver is restarted twice. At the end
// the service must hold exactly the edits the engines accepted: each comment once and every
// task's progress equal to the sum of its accepted differences. Then it measures what one
// change costs the outbox file (processor and wall time, the flush included).
// Usage: corvane-chaos [--edits N] [--drop P] [--reset P] [--seed S]
#include "bench/EngineDriver.h"
#include "device/model/engine/Outbox.h"
#include "device/model/engine/tests/FaultProxy.h"
#include "device/model/engine/tests/VizServerProcess.h"
#include "device/platform/Platform.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace corvane;
using namespace corvane::test;
using SteadyClock = std::chrono::steady_clock;

namespace {

struct Options {
    int edits { 1000 };
    double drop { 0.10 };
    double reset { 0.05 };
    unsigned seed { 14 };
    bool keys { true }; // --no-keys: the proxy strips Idempotency-Key, for comparison
};

using Account = bench::DriverAccount;

double cpu_seconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class Chaos : bench::EngineDriver {
public:
    explicit Chaos(Options options)
        : m_options(options)
        , m_random(options.seed)
    {
    }

    int run();

private:
    bool all_sent()
    {
        for (auto& a : m_accounts) {
            if (a->engine->unsent_count() != 0 || a->engine->is_busy())
                return false;
        }
        return true;
    }
    // What the service holds against what the engines accepted.
    struct Tally {
        int lost { 0 };
        int duplicated { 0 };
        int unexpected { 0 };
        int wrong_progress { 0 };
        std::size_t on_service { 0 };
        bool is_clean() const
        {
            return lost == 0 && duplicated == 0 && unexpected == 0 && wrong_progress == 0;
        }
    };

    [[nodiscard]] bool sign_up(FaultProxy& proxy, const std::string& folder);
    [[nodiscard]] bool share_counters();
    int edit_under_faults(VizServerProcess& server);
    void send_everything(FaultProxy& proxy);
    Tally read_back(VizServerProcess& server);
    void measure_outbox_cost(const std::string& folder);

    Options m_options;
    std::mt19937 m_random;
    std::vector<std::unique_ptr<Account>> m_accounts;
    std::vector<Task> m_tasks; // The shared counters, as first loaded.
    std::map<std::string, std::int32_t> m_accepted; // comment -> task
    std::map<std::int32_t, int> m_expected_done;
};

int Chaos::run()
{
    std::string folder
        = (std::filesystem::temp_directory_path() / ("corvane-chaos-" + std::to_string(::getpid())))
              .string();
    std::filesystem::create_directories(folder);
    VizServerProcess server(folder);
    if (!server.start()) {
        std::fprintf(stderr, "vizserver did not start (%s)\n", VizServerProcess::binary().c_str());
        return 2;
    }
    FaultProxy proxy(server.port());
    if (!sign_up(proxy, folder) || !share_counters())
        return 2;

    // The run proper, with faults.
    proxy.queue({}, false); // every request may take a fault, reads as well as changes
    proxy.set_strip_keys(!m_options.keys);
    proxy.set_rates(m_options.drop, m_options.reset, m_options.seed);
    int requests_before = proxy.requests;
    auto started = SteadyClock::now();
    int restarts = edit_under_faults(server);
    if (restarts < 0)
        return 2;
    send_everything(proxy);
    double seconds = std::chrono::duration<double>(SteadyClock::now() - started).count();
    Tally tally = read_back(server);

    std::printf("corvane-chaos: %d edits by 3 accounts on %zu shared tasks, seed %u%s\n",
        m_options.edits, m_tasks.size(), m_options.seed,
        m_options.keys ? "" : ", Idempotency-Key stripped by the proxy");
    std::printf("  proxy: %d requests, %d faults injected (%.0f%% lost replies, %.0f%% resets "
                "of requests); service restarted %d times\n",
        proxy.requests - requests_before, int(proxy.faults_done), m_options.drop * 100,
        m_options.reset * 100, restarts);
    std::printf("  accepted %zu, on the service %zu: lost %d, duplicated %d, unknown %d, "
                "tasks with wrong progress %d\n",
        m_accepted.size(), tally.on_service, tally.lost, tally.duplicated, tally.unexpected,
        tally.wrong_progress);
    std::printf("  all changes confirmed after %.1f s\n", seconds);
    measure_outbox_cost(folder);
    server.stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return tally.is_clean() ? 0 : 1;
}

// Three accounts registered through the proxy, each engine with an outbox of its own.
bool Chaos::sign_up(FaultProxy& proxy, const std::string& folder)
{
    for (int i = 0; i < 3; ++i) {
        auto account = std::make_unique<Account>();
        account->email = "chaos" + std::to_string(i) + "@example.org";
        account->engine = std::make_unique<Engine>(proxy.base_url(), account->listener);
        account->engine->open_outbox(from_utf8(folder + "/outbox" + std::to_string(i) + ".dat"));
        WString email = from_utf8(account->email);
        act(*account, [&](Engine& e) { e.login(email, u"secret-" + email, email); });
        if (!account->engine->is_logged_in()) {
            std::fprintf(stderr, "could not register %s\n", account->email.c_str());
            return false;
        }
        m_accounts.push_back(std::move(account));
    }
    return true;
}

// The first account's project of eight counters, which the other two may change.
bool Chaos::share_counters()
{
    Account& owner = *m_accounts[0];
    std::int32_t project = create(owner, 0, u"Chaos");
    for (int i = 0; i < 8; ++i) {
        std::int32_t id = create(owner, project, u"Counter " + to_wstring(std::int32_t(i)));
        act(owner, [&](Engine& e) { e.load_task(id); });
        if (id <= 0 || !owner.engine->find_task(id))
            return false;
        m_tasks.push_back(*owner.engine->find_task(id));
    }
    for (std::size_t i = 1; i < m_accounts.size(); ++i) {
        WString email = from_utf8(m_accounts[i]->email);
        act(owner, [&](Engine& e) { e.change_permission(project, email, 2); });
    }
    return true;
}

// The random edits, the service stopped and started at a third and at two thirds of them.
// Answers the number of restarts, or -1 when the service did not come back.
int Chaos::edit_under_faults(VizServerProcess& server)
{
    int restarts = 0;
    for (int n = 0; n < m_options.edits; ++n) {
        if (n == m_options.edits / 3 || n == 2 * m_options.edits / 3) {
            server.stop();
            drive([] { return false; }, std::chrono::milliseconds(300));
            if (!server.start())
                return -1;
            ++restarts;
        }
        Account& a = *m_accounts[m_random() % m_accounts.size()];
        const Task& t = m_tasks[m_random() % m_tasks.size()];
        std::int32_t delta = 1 + std::int32_t(m_random() % 3);
        std::string comment = a.email.substr(0, 6) + "-" + std::to_string(n);
        Task edit = t;
        edit.done = delta;
        edit.plan = 0;
        a.engine->save_task(edit, from_utf8(comment));
        m_accepted[comment] = t.id; // save_task returns once the change is in the outbox
        m_expected_done[t.id] += delta;
        drive([] { return false; }, std::chrono::milliseconds(m_random() % 6));
    }
    return restarts;
}

// Everything still waiting goes out: the retry timers, plus a nudge now and then.
void Chaos::send_everything(FaultProxy& proxy)
{
    proxy.set_rates(0, 0, m_options.seed);
    for (int round = 0; round < 60 && !all_sent(); ++round) {
        for (auto& a : m_accounts) {
            if (!a->engine->is_busy())
                a->engine->retry();
        }
        drive([&] { return all_sent(); }, std::chrono::seconds(2));
    }
}

// What the service holds, read directly, against what the engines accepted.
Chaos::Tally Chaos::read_back(VizServerProcess& server)
{
    Account reader;
    reader.engine = std::make_unique<Engine>(server.base_url(), reader.listener);
    WString email = from_utf8(m_accounts[0]->email);
    act(reader, [&](Engine& e) { e.login(email, u"secret-" + email); });
    std::map<std::string, int> seen;
    Tally tally;
    for (const Task& t : m_tasks) {
        act(reader, [&](Engine& e) { e.load_task(t.id); });
        for (int page = 0; page < 200; ++page) {
            const Task* now = reader.engine->find_task(t.id);
            if (!now || !now->moreChanges)
                break;
            act(reader, [&](Engine& e) { e.more_changes(t.id); });
        }
        const Task* now = reader.engine->find_task(t.id);
        for (const Change& change : now->loadedChanges) {
            if (!change.text.empty())
                ++seen[to_utf8(change.text)];
        }
        if (now->done != m_expected_done[t.id])
            ++tally.wrong_progress;
    }
    for (const auto& [comment, task] : m_accepted) {
        int count = seen[comment];
        tally.lost += count == 0;
        tally.duplicated += count > 1;
    }
    for (const auto& [comment, count] : seen)
        tally.unexpected += m_accepted.count(comment) ? 0 : 1;
    tally.on_service = seen.size();
    return tally;
}

// One change costs the outbox a rewrite of the file with a flush and a rename when it is
// made, and the same again when it leaves. Measured with an empty outbox and with 50 changes
// already waiting (a long offline stretch), each over 200 changes.
void Chaos::measure_outbox_cost(const std::string& folder)
{
    for (int waiting : { 0, 50 }) {
        Outbox outbox(from_utf8(folder + "/cost-" + std::to_string(waiting) + ".dat"));
        OutboxEntry entry;
        entry.kind = OutboxEntry::Kind::Save;
        entry.owner = 1;
        entry.task = Task {};
        entry.task.id = 42;
        entry.task.title = u"A task with an ordinary title";
        entry.text = u"An ordinary comment of a few words.";
        for (int i = 0; i < waiting; ++i) {
            entry.key = Outbox::new_key();
            (void)outbox.add(entry);
        }
        constexpr int changes = 200;
        double cpu = cpu_seconds();
        auto wall = SteadyClock::now();
        for (int i = 0; i < changes; ++i) {
            entry.key = Outbox::new_key();
            (void)outbox.add(entry);
            outbox.remove(entry.key);
        }
        double cpu_per = (cpu_seconds() - cpu) / changes * 1e6;
        double wall_per
            = std::chrono::duration<double>(SteadyClock::now() - wall).count() / changes * 1e6;
        std::printf("  outbox cost per change (written and removed, flushed), %d waiting: "
                    "%.0f us processor, %.0f us wall\n",
            waiting, cpu_per, wall_per);
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--no-keys")) {
            options.keys = false;
            continue;
        }
        if (i + 1 == argc)
            break;
        if (!std::strcmp(argv[i], "--edits"))
            options.edits = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--drop"))
            options.drop = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--reset"))
            options.reset = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed"))
            options.seed = unsigned(std::atoi(argv[i + 1]));
        ++i;
    }
    install_default_platform();
    return Chaos(options).run();
}
