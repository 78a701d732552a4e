#include "device/screens/Document.h"

#include "device/core/FatalFault.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/Ticks.h"
#include "device/model/engine/Engine.h"
#include "device/screens/forms/LoginScreen.h"
#include "device/screens/forms/MessageForm.h"
#include "device/screens/forms/RelativeDate.h"
#include "device/screens/sharing/SharingScreen.h"
#include "device/screens/task/TaskScreen.h"
#include "device/screens/tree/AllTasksList.h"
#include "device/screens/tree/TreeStack.h"
#include "device/shell/Application.h"
#include "device/skin/lang/LanguageChoice.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/render/VisibilityAnimation.h"
#include "device/skin/skin/Properties.h"

#include <cstdlib>

namespace corvane {

namespace {

    Document* s_instance = nullptr;

    constexpr const char16_t* settings_key = u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane";

} // namespace

Document::Document(Application& application, Properties& properties, WStringView service_url)
    : m_application(application)
    , m_properties(properties)
    , m_menu_host(application)
    , m_news_timer(static_cast<ActiveTimerListener&>(*this))
{
    if (s_instance)
        fatal_fault(u"Singleton::Singleton()", u"Singleton is already instantiated");
    s_instance = this;
    try {
        m_reload_form = std::make_unique<SkinReloadForm>(properties);
        m_menu = std::make_unique<PopupMenu>(
            properties, u"Menu", static_cast<MenuModel&>(*this), m_menu_host);
        m_engine = std::make_unique<Engine>(service_url, *this);
        m_engine->set_translator([this](WStringView key) { return text(key); });
        m_engine->listen_for_news(true);
        m_tree = std::make_unique<TreeStack>(*this);
        m_login = std::make_unique<LoginScreen>(*this);
        m_problem = std::make_unique<ProblemScreen>(*this);
        m_connecting = std::make_unique<MessageForm>(properties, u"Connecting", this);
        m_ticket = std::make_unique<MessageForm>(properties, u"Ticket", this);
        m_message = std::make_unique<MessageForm>(properties, u"FormMessage", this);
        m_version = std::make_unique<MessageForm>(properties, u"Version", this);
        m_logout_confirm = std::make_unique<MessageForm>(properties, u"FormMessageOkCancel", this);
        m_task_screen = std::make_unique<TaskScreen>(*this);
        m_sharing = std::make_unique<SharingScreen>(*this);
        m_all_tasks = std::make_unique<AllTasksList>(*this);
        m_about = std::make_unique<AboutContainer>(*this);
    } catch (...) {
        s_instance = nullptr;
        throw;
    }
    get_log() << tick_count() << u" Document::Document()\n";
    Engine::CacheLoad loaded = m_engine->load_cache(cache_path());
    if (loaded == Engine::CacheLoad::Unparsable)
        get_log() << u"Document: the cache could not be read and was ignored\n";
    // Beside the cache, wherever that is, so the two always move together.
    m_engine->open_outbox(Outbox::path_beside(cache_path()));
    // The cached filter and the remembered choice come from separate files; the choice wins,
    // so the tree never names one user while the lists show another's.
    m_selected_user = m_engine->filter().responsible;
    std::uint32_t chosen = 0;
    select_filter_user(reg_read_dword(settings_key, u"selected_user", chosen)
            ? static_cast<std::int32_t>(chosen)
            : m_selected_user);
    get_log() << tick_count() << u" Document::Document - 1()\n";
    start();
}

Document::~Document()
{
    // Screens leave the stack before they go; the engine goes with its request.
    if (m_menu)
        m_menu_host.remove(*m_menu);
    m_about.reset();
    m_all_tasks.reset();
    m_sharing.reset();
    m_task_screen.reset();
    m_logout_confirm.reset();
    m_version.reset();
    m_message.reset();
    m_ticket.reset();
    m_connecting.reset();
    m_problem.reset();
    m_login.reset();
    m_tree.reset();
    m_engine.reset();
    m_menu.reset();
    m_reload_form.reset();
    s_instance = nullptr;
}

Document* Document::instance()
{
    return s_instance;
}

WString Document::cache_path()
{
    if (const char* chosen = std::getenv("CORVANE_CACHE"); chosen && *chosen)
        return from_utf8(chosen);
    return expand_path(u"%user_path%/cache.dat");
}

void Document::start()
{
    if (m_engine->is_logged_in()) {
        m_connecting->show(true, true);
        m_engine->request_news();
        if (!m_engine->is_busy())
            m_engine->retry();
    } else {
        show_login(true);
    }
}

WString Document::text(WStringView key) const
{
    return translate(m_properties, key);
}

WString Document::user_name(std::int32_t id) const
{
    if (id == -1)
        return text(u"vizUsersAll");
    return m_engine->user_name(id);
}

WString Document::relative_date(std::int64_t milliseconds, bool with_time) const
{
    return corvane::relative_date(
        [this](WStringView key) { return text(key); }, milliseconds, with_time);
}

void Document::select_filter_user(std::int32_t id)
{
    if (id == m_selected_user && id == m_engine->filter().responsible)
        return;
    m_selected_user = id;
    Filter filter;
    filter.responsible = id;
    m_engine->set_filter(filter, false);
    m_engine->open_folder(0);
    m_tree->reset_lists();
    m_all_tasks->reset_list();
}

void Document::show_main_menu()
{
    m_menu->show(u"MainMenu", u"", true);
}

void Document::show_login(bool animate)
{
    m_login->clear_secrets();
    // The Login screen takes the place of every screen.
    while (Screen* top = m_application.top_screen()) {
        if (top == m_login.get())
            break;
        m_application.close_screen(*top, false);
    }
    if (!m_login->is_open())
        m_login->show(false, animate);
}

void Document::reset_login()
{
    // The engine reports its own idle state while it drops the session; that report must not
    // reset the log-in a second time.
    m_resetting = true;
    m_tree->close_all();
    m_engine->logout();
    m_selected_user = m_engine->filter().responsible; // the session's filter went with it
    m_engine->kill_request();
    m_started = false;
    m_resetting = false;
}

void Document::log_in(WStringView email, WStringView password, WStringView name)
{
    if (!m_engine->is_busy())
        m_engine->login(email, password, name);
    m_connecting->show(true, true);
    m_login->close(true);
}

void Document::save()
{
    if (!m_engine->save_cache(cache_path()))
        get_log() << u"Document: the cache could not be written\n";
    if (!reg_write_string(settings_key, u"sid", m_engine->login_key())
        || !reg_write_dword(
            settings_key, u"selected_user", static_cast<std::uint32_t>(m_selected_user)))
        get_log() << u"Document: the settings could not be written\n";
}

void Document::kill_request()
{
    m_engine->listen_for_news(false);
    m_engine->kill_request();
}

void Document::show_message(WStringView key, WStringView name)
{
    m_message->set_caption(text(u"ErrorCaption"));
    m_message->set_text(replace_placeholder(text(key), u"%name%", name));
    m_message->show(true, true);
}

void Document::open_url(WStringView url)
{
    if (!m_application.open_url(url))
        show_message(u"ERROR_NO_BROWSER");
}

void Document::log_out(LogoutFrom from)
{
    std::size_t unsent = m_engine->unsent_count();
    if (unsent > 0) {
        WString question = replace_placeholder(
            text(u"LogoutUnsentText"), u"%count%", to_wstring(std::uint64_t(unsent)));
        m_logout_confirm->set_caption(text(u"LogoutUnsentCaption"));
        m_logout_confirm->set_text(question);
        m_logout_from = from;
        m_logout_confirm->show(true, true);
        return;
    }
    finish_logout(from);
}

void Document::finish_logout(LogoutFrom from)
{
    if (from == LogoutFrom::Menu)
        m_login->set_visibility_animation(VisibilityAnimation::create(u"left"));
    show_login(from == LogoutFrom::Menu);
    reset_login();
    m_login->set_registration(false);
}

void Document::form_button(Form& form, ButtonElement& button)
{
    if (&form == m_version.get()) {
        if (m_version->is_ok(button)) {
            m_application.quit();
            // Quitting: there is no screen left to say that no browser started.
            (void)m_application.open_url(text(u"UpdateWMClientURL"));
        }
    } else if (&form == m_logout_confirm.get()) {
        if (m_logout_confirm->is_ok(button)) {
            m_engine->discard_unsent();
            finish_logout(m_logout_from);
        }
    } else if (&form == m_connecting.get()) {
        if (&button == m_connecting->cancel_button()) {
            reset_login();
            show_login(false);
        }
    }
    // "FormMessage" and "Ticket" only close, which the form has done.
}

MenuContent Document::items(PopupMenu&, WStringView path)
{
    MenuContent content;
    std::vector<LanguageMenuItem> languages;
    bool loaded = handle_language_command(
        m_properties, m_application.name(), path, languages, default_item_node());
    if (path == u"MainMenu") {
        for (const char16_t* item :
            { u"About", u"Language", u"Logout", u"Minimize", u"Exit", u"Cancel" }) {
            if (WStringView(item) == u"Language" && !has_several_languages())
                continue;
            MenuItem entry;
            entry.path = item;
            content.items.push_back(entry);
        }
        return content;
    }
    if (!languages.empty()) {
        content.caption = text(u"Language");
        for (const LanguageMenuItem& language : languages) {
            MenuItem entry;
            entry.path = language.identifier;
            entry.literal = !language.text.empty();
            entry.literal_text = language.text;
            entry.checked = language.selected;
            entry.node_name = language.node_name;
            content.items.push_back(entry);
        }
        return content;
    }
    if (loaded) {
        m_reload_form->show(true, true);
    } else if (path == u"About") {
        m_about->show(false, true);
    } else if (path == u"Logout") {
        log_out(LogoutFrom::Menu);
    } else if (path == u"Minimize") {
        m_application.minimize();
    } else if (path == u"Exit") {
        m_application.quit();
    }
    return content;
}

} // namespace corvane
