// What the engine reports, turned into changes of the open screens, and the idle poll for news.
#include "device/screens/Document.h"

#include "device/model/engine/Engine.h"
#include "device/screens/forms/LoginScreen.h"
#include "device/screens/forms/MessageForm.h"
#include "device/screens/sharing/SharingScreen.h"
#include "device/screens/task/TaskScreen.h"
#include "device/screens/tree/AllTasksList.h"
#include "device/screens/tree/TreeStack.h"

namespace corvane {

void Document::on_state(bool busy, WStringView error_key)
{
    m_problem->set_busy(busy);
    m_problem->set_pending(m_engine->unsent_count());
    m_news_timer.cancel();
    if (busy || m_resetting)
        return;
    if (m_engine->is_logged_in()) {
        if (!m_started) {
            m_started = true;
            m_problem->close(true);
            m_connecting->close(true);
            m_all_tasks->close(true);
            m_tree->rebuild_to(0);
            m_login->close(false);
        }
        if (error_key.empty()) {
            // A retry that got through ends the problem.
            m_problem->close(true);
            m_engine->check_clipboard_ticket();
            if (!m_engine->is_busy())
                m_news_timer.start(news_poll_seconds);
            return;
        }
        if (!m_problem->is_open())
            m_problem->show(true, true);
        return;
    }
    WString error(error_key);
    reset_login();
    show_login(false);
    if (error == u"ERROR_VERSION") {
        m_version->show(true, true);
    } else if (!error.empty()) {
        show_message(error);
    }
}

void Document::timer_fired(ActiveTimer&, int)
{
    // While the service tells us of news as it happens, polling would only add traffic.
    if (!m_started || !m_engine->is_logged_in() || m_engine->is_busy()
        || m_engine->hears_news_live())
        return;
    m_engine->request_news();
    m_engine->retry();
}

void Document::on_list_changed()
{
    m_all_tasks->on_list_changed();
}

void Document::on_ticket(bool accepted)
{
    m_ticket->set_text(text(accepted ? u"TicketSuccess" : u"TicketFail"));
    m_ticket->show(true, true);
}

void Document::on_tags_changed()
{
    m_tree->on_tags_changed();
    m_task_screen->on_tags_changed();
}

void Document::on_users_changed()
{
    if (m_selected_user != -1 && !m_engine->find_user(m_selected_user))
        select_filter_user(-1);
    m_tree->redraw_all();
    m_all_tasks->redraw_all();
    m_task_screen->on_users_changed();
    m_sharing->on_users_changed();
}

void Document::on_task_changed(std::int32_t id)
{
    m_tree->on_task_changed(id);
    m_task_screen->on_task_changed(id);
    m_sharing->on_task_changed(id);
    m_all_tasks->on_task_changed(id);
}

void Document::on_task_removed(std::int32_t id)
{
    m_tree->on_task_removed(id);
    m_task_screen->on_task_removed(id);
    m_sharing->on_task_removed(id);
    m_all_tasks->on_task_removed(id);
}

void Document::on_task_saved(std::int32_t id)
{
    m_task_screen->on_task_saved(id);
}

void Document::on_permission_refused(std::int32_t project, WStringView text)
{
    m_sharing->on_permission_refused(project, text);
}

void Document::on_task_created(std::int32_t id)
{
    m_task_screen->on_task_created(id);
}

void Document::on_change_refused(std::int32_t id, WStringView name)
{
    WString message = replace_placeholder(text(u"ChangeRefused"), u"%name%", name);
    m_message->set_caption(text(u"ErrorCaption"));
    m_message->set_text(message);
    m_message->show(true, true);
    if (id > 0)
        on_task_changed(id);
}

} // namespace corvane
