#include "bench/load/LoadData.h"

#include "server/Service.h"
#include "server/VizServer.h"

#include "common/base/Text.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace corvane::load {

using namespace corvane::server;

namespace {

    struct Builder {
        Service& service;
        std::u16string session;
        int user_id { 0 };

        bool sign_up(const char* account)
        {
            std::u16string key = service.register_user(
                from_utf8(account), from_utf8(load_password), u"Load", "builder");
            if (key.empty())
                return false;
            AuthInfo info = service.authenticate_key(key);
            session = info.session;
            user_id = info.userId;
            return true;
        }
        int create(int parent, const std::u16string& title)
        {
            TaskEdit edit;
            edit.task.id = -1;
            edit.task.parentId = parent;
            edit.task.title = title;
            edit.task.responsibleId = user_id;
            return service.create_task(session, edit, u"").id;
        }
        // A folder of `count` tasks with two-line titles, as users write them.
        int folder(int project, const std::u16string& title, int count)
        {
            int id = create(project, title);
            for (int i = 0; i < count && id > 0; ++i) {
                if (create(id, u"Task number " + to_wstring(i) + u"\r\nwith a description line")
                    <= 0)
                    return -1;
            }
            return id;
        }
    };

    void progress(const char* what)
    {
        std::fprintf(stderr, "vizserver-load: building the load database: %s\n", what);
    }

} // namespace

bool ensure_load_data(const std::string& path)
{
    std::string done_marker = path + ".complete";
    if (std::filesystem::exists(path) && std::filesystem::exists(done_marker))
        return true;
    for (const char* suffix : { "", "-wal", "-shm" })
        std::filesystem::remove(path + suffix);
    ServiceConfig config;
    config.database = path;
    config.password_cost = PasswordCost::cheap();
    config.throttling = false;
    config.quiet = true;
    VizServer server(config);
    if (!server.open()) {
        std::fprintf(stderr, "vizserver-load: %s\n", server.error().c_str());
        return false;
    }
    Builder reader { server.service(), {}, 0 };
    if (!reader.sign_up(reader_account))
        return false;
    progress("folders of 200 tasks, fresh and with a long history");
    int fresh = reader.create(0, u"Fresh project");
    int history = reader.create(0, u"Project with a long history");
    if (reader.folder(fresh, fresh_folder_title, folder_tasks) <= 0)
        return false;
    int busy_folder = reader.folder(history, history_folder_title, folder_tasks - 1);
    int hot = reader.create(busy_folder, hot_task_title);
    if (busy_folder <= 0 || hot <= 0)
        return false;
    progress("200,000 changes by the reader");
    TaskEdit edit;
    edit.task = server.service().load_task(reader.session, Filter {}, hot).back();
    edit.done_delta = 1;
    for (int i = 0; i < history_changes; ++i) {
        if (server.service().update_task(reader.session, edit, u"Progress note").id != hot)
            return false;
    }
    progress("a project of 100,000 tasks");
    int list = reader.create(0, list_project_title);
    for (int f = 0; f < list_tasks / 1000; ++f) {
        if (reader.folder(list, u"Folder " + to_wstring(f), 999) <= 0)
            return false;
    }
    progress("an owner of one project and an owner of 1,000");
    Builder one { server.service(), {}, 0 };
    Builder many { server.service(), {}, 0 };
    if (!one.sign_up(one_project_account) || !many.sign_up(many_projects_account))
        return false;
    int single = one.create(0, u"The only project");
    for (int f = 0; f < create_folders; ++f)
        if (one.create(single, u"Folder " + to_wstring(f)) <= 0)
            return false;
    int first = many.create(0, u"Project 0");
    for (int f = 0; f < create_folders; ++f)
        if (many.create(first, u"Folder " + to_wstring(f)) <= 0)
            return false;
    for (int p = 1; p < many_projects; ++p)
        if (many.create(0, u"Project " + to_wstring(p)) <= 0)
            return false;
    server.stop();
    std::FILE* marker = std::fopen(done_marker.c_str(), "w");
    if (marker)
        std::fclose(marker);
    return marker != nullptr;
}

} // namespace corvane::load
