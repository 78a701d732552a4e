#include "device/model/engine/Engine.h"

#include "common/wire/ReplyWriter.h"
#include "device/core/File.h"
#include "device/core/Log.h"
#include "device/model/EngineCache.h"
#include "device/model/engine/EngineListener.h"

#include <algorithm>

namespace corvane {

std::string Engine::cache_bytes() const
{
    EngineCache cache;
    cache.auth = m_auth;
    cache.loginKey = m_login_key;
    cache.tasks.reserve(m_tasks.size());
    for (const auto& t : m_tasks) {
        cache.tasks.push_back(*t);
        cache.tasks.back().loadedChanges.clear();
    }
    cache.listCursor = m_list_cursor;
    cache.users = m_users;
    cache.filter = m_filter;
    cache.listProject = m_list_project;
    cache.morePages = m_more_pages;

    ReplyWriter writer;
    cache.save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    return bytes;
}

bool Engine::save_cache(WStringView path) const
{
    std::string bytes = cache_bytes();
    // The file holds the session key: only its owner may read it, and it is replaced whole.
    return write_file_atomically(path, bytes.data(), bytes.size(), true);
}

Engine::CacheLoad Engine::load_cache(WStringView path)
{
    std::optional<SharedBuffer> content = read_whole_file(path);
    if (!content)
        return CacheLoad::Missing;
    return load_cache_bytes(*content);
}

Engine::CacheLoad Engine::load_cache_bytes(const SharedBuffer& content)
{
    if (content.is_empty())
        return CacheLoad::Missing;
    // An "//EX[" start reads like "//OK[": what counts is whether the object reads.
    if (!m_reader.parse(content)) {
        get_log() << u"Document::load() - can't parse \n";
        return CacheLoad::Unparsable;
    }
    EngineCache cache;
    if (!cache.load(m_reader) || m_reader.has_error()) {
        reset_session();
        return CacheLoad::Reset;
    }
    m_auth = cache.auth;
    m_login_key = cache.loginKey;
    std::sort(cache.tasks.begin(), cache.tasks.end(),
        [](const Task& a, const Task& b) { return a.id < b.id; });
    m_tasks.clear();
    m_tasks.reserve(cache.tasks.size());
    for (Task& t : cache.tasks) {
        if (!m_tasks.empty() && m_tasks.back()->id == t.id)
            continue; // a duplicate id in a damaged file: the first one stands
        m_tasks.push_back(std::make_unique<Task>(std::move(t)));
    }
    m_list_cursor = cache.listCursor;
    m_users = cache.users;
    std::sort(
        m_users.begin(), m_users.end(), [](const User& a, const User& b) { return a.id < b.id; });
    m_filter = cache.filter;
    m_list_project = cache.listProject;
    m_more_pages = cache.morePages;

    for (const auto& t : m_tasks) {
        if (t->listed)
            m_listener.on_task_changed(t->id);
    }
    recompute_participants();
    rebuild_tags();
    return CacheLoad::Loaded;
}

} // namespace corvane
