#include "server/AdminCommands.h"
#include "server/Service.h"

namespace corvane::server {

namespace {

    // Drives the service as a client would, so the demo data passes every rule a real
    // client's data does.
    class DemoWriter {
    public:
        DemoWriter(Service& service, const std::u16string& login_key)
            : m_service(service)
            , m_session(service.authenticate_key(login_key).session)
        {
        }

        int create(int parent, const std::u16string& title, const std::u16string& comment,
            int status = 0, std::int64_t deadline = 0, const std::u16string& tag = u"",
            int done = 0, int plan = 0)
        {
            TaskEdit edit;
            edit.task.id = -1;
            edit.task.parentId = parent;
            edit.task.title = title;
            edit.task.status = status;
            edit.task.deadline = deadline;
            edit.task.tag = tag;
            edit.task.responsibleId = -1;
            edit.done_delta = done;
            edit.plan_delta = plan;
            return m_service.create_task(m_session, edit, comment).id;
        }

        void comment(int task_id, const std::u16string& text, int done = 0)
        {
            Filter filter;
            std::vector<VizTask> chain = m_service.load_task(m_session, filter, task_id);
            if (chain.empty())
                return;
            TaskEdit edit;
            edit.task = chain.back();
            edit.done_delta = done;
            m_service.update_task(m_session, edit, text);
        }

        void share(int project, const std::u16string& account)
        {
            m_service.change_permission(m_session, project, account, 2);
        }

    private:
        Service& m_service;
        std::u16string m_session;
    };

} // namespace

bool seed_demo(Service& service, std::string& error)
{
    std::u16string demo_key
        = service.register_user(demo_account, demo_password, u"Demo User", "seed");
    if (demo_key.empty())
        return true; // Seeded before.
    std::u16string friend_key
        = service.register_user(friend_account, friend_password, u"Friendly Colleague", "seed");
    if (friend_key.empty())
        friend_key = service.authenticate(friend_account, friend_password, "seed");
    if (friend_key.empty()) {
        error = "the friend account exists with another password";
        return false;
    }
    DemoWriter demo(service, demo_key);
    std::int64_t week = 7 * day_ms;
    std::int64_t now = service.clock().now_ms();
    int project = demo.create(0, u"Corvane launch\r\nEverything for the first release.",
        u"Let's get going.", 1, 0, u"Work");
    int planning = demo.create(project, u"Planning", u"");
    int build = demo.create(project, u"Build", u"");
    demo.create(planning, u"Write the release notes", u"", 0, now + week, u"", 0, 4);
    int review = demo.create(planning, u"Review the screens", u"Please look at the task view.", 1,
        now + 2 * week, u"", 1, 5);
    demo.create(build, u"Package for the device", u"", 2, 0, u"", 3, 3);
    demo.create(build, u"Fix the scrolling glitch", u"Seen on the small display.", 1);
    demo.share(project, friend_account);
    demo.comment(review, u"First pass done; two screens left.", 2);
    DemoWriter colleague(service, friend_key);
    colleague.comment(review, u"I can take the settings screens.");
    demo.comment(review, u"Great, thanks!");
    int home = demo.create(0, u"Home", u"", 0, 0, u"Personal");
    demo.create(home, u"Buy a new phone charger", u"", 0, now + 3 * day_ms);
    return true;
}

} // namespace corvane::server
