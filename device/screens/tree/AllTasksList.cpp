#include "device/screens/tree/AllTasksList.h"

#include "device/model/engine/Engine.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeLevel.h"

namespace corvane {

AllTasksList::AllTasksList(TreeHost& host)
    : m_host(host)
    , m_screen(std::make_unique<TreeLevel>(host, TreeLevel::Mode::Flat))
{
}

AllTasksList::AllTasksList(std::unique_ptr<TreeHost> host)
    : m_owned_host(std::move(host))
    , m_host(*m_owned_host)
    , m_screen(std::make_unique<TreeLevel>(m_host, TreeLevel::Mode::Flat))
{
}

AllTasksList::~AllTasksList() = default;

void AllTasksList::show(std::int32_t id, WStringView name)
{
    WString tag = id < 1 ? WString(name) : WString();
    Engine& engine = m_host.engine();
    if (id >= 1) {
        const Task* record = engine.find_task(id);
        engine.set_list(record ? record->projectId : id, u"", true);
    } else {
        engine.set_list(-1, tag, true);
    }
    m_shown = true;
    m_screen->set_list(id, tag);
    ask_for_page_when_short();
    if (!m_screen->is_open())
        m_screen->show(false, true);
}

void AllTasksList::ask_for_page_when_short()
{
    if (m_screen->listed_rows() < page_size) {
        m_host.engine().refresh_list();
        m_screen->update_bar();
    }
}

bool AllTasksList::close(bool animate)
{
    return m_screen->close(animate);
}

bool AllTasksList::is_open() const
{
    return m_screen->is_open();
}

void AllTasksList::on_task_changed(std::int32_t id)
{
    if (is_shown())
        m_screen->task_changed(id);
}

void AllTasksList::on_task_removed(std::int32_t id)
{
    if (is_shown())
        m_screen->task_removed(id);
}

void AllTasksList::on_list_changed()
{
    if (is_shown())
        m_screen->redraw_all();
}

void AllTasksList::redraw_all()
{
    if (is_shown())
        m_screen->redraw_all();
}

void AllTasksList::reset_list()
{
    if (!is_shown())
        return;
    WString tag = m_screen->tag();
    m_screen->set_list(m_screen->list_id(), tag);
    if (is_open())
        ask_for_page_when_short();
}

} // namespace corvane
