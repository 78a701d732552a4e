#pragma once

#include "common/base/Text.h"
#include "device/core/ActiveTimer.h"
#include "device/model/engine/EngineListener.h"
#include "device/screens/forms/Form.h"
#include "device/shell/ScreenMenuHost.h"
#include "device/skin/widgets/PopupMenu.h"

#include <cstdint>
#include <memory>

namespace corvane {

class AboutContainer;
class AllTasksList;
class Application;
class Engine;
class LoginScreen;
class MessageForm;
class ProblemScreen;
class Properties;
class SharingScreen;
class SkinReloadForm;
class TaskScreen;
class TreeStack;

// The program proper: owns the engine and every screen, turns the engine's reports into screen
// changes, and answers the main menu. One per run; a second is a fatal fault. Main thread.
class Document final : public EngineListener,
                       public FormListener,
                       private MenuModel,
                       private ActiveTimerListener {
public:
    // Builds every screen (skin errors propagate), loads the local cache and shows the first
    // screen: "Connecting" with a cached log-in, the Login screen otherwise.
    Document(Application& application, Properties& properties, WStringView service_url);
    ~Document() override;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    static Document* instance();

    Application& application() const { return m_application; }
    Properties& properties() const { return m_properties; }
    Engine& engine() const { return *m_engine; }
    TreeStack& tree() const { return *m_tree; }
    LoginScreen& login_screen() const { return *m_login; }
    ProblemScreen& problem_screen() const { return *m_problem; }
    TaskScreen& task_screen() const { return *m_task_screen; }
    SharingScreen& sharing_screen() const { return *m_sharing; }
    AllTasksList& all_tasks() const { return *m_all_tasks; }
    AboutContainer& about() const { return *m_about; }
    PopupMenu& menu() const { return *m_menu; }

    // The language text of a key.
    WString text(WStringView key) const;
    // Shows the error message form over the current screens with the text of `key`.
    // "%name%" in the text becomes `name`.
    void show_message(WStringView key, WStringView name = {});
    // Opens the address in the desktop's browser, or says that none could be started.
    void open_url(WStringView url);
    // -1 "vizUsersAll", a known user's display name, or "LoadingUser" (the engine fetches it).
    WString user_name(std::int32_t id) const;
    // A time in milliseconds since 1970 UTC relative to today, with or without time of day.
    WString relative_date(std::int64_t milliseconds, bool with_time) const;

    std::int32_t selected_user() const { return m_selected_user; }
    void select_filter_user(std::int32_t id);
    void show_main_menu();

    // Log-in flow.
    bool is_started() const { return m_started; }
    void show_login(bool animate);
    void reset_login();
    void log_in(WStringView email, WStringView password, WStringView name);

    // The local cache and settings, at exit and on "exit".
    void save();
    void kill_request();
    // Where the cache lives: "%app_path%/cache.dat", or $CORVANE_CACHE when set.
    static WString cache_path();
    // How long the program waits, idle, before it asks for news on its own, when the service
    // cannot tell it of news as it happens.
    static constexpr double news_poll_seconds = 60;

    // EngineListener
    void on_state(bool busy, WStringView error_key) override;
    void on_list_changed() override;
    void on_ticket(bool accepted) override;
    void on_tags_changed() override;
    void on_users_changed() override;
    void on_task_changed(std::int32_t id) override;
    void on_task_removed(std::int32_t id) override;
    void on_task_saved(std::int32_t id) override;
    void on_task_created(std::int32_t id) override;
    void on_change_refused(std::int32_t id, WStringView name) override;

    // "Log out" from the main menu or the Problem screen: with unsent changes the user is
    // asked first whether to discard them.
    enum class LogoutFrom { Menu, ProblemScreen };
    void log_out(LogoutFrom from);
    void on_permission_refused(std::int32_t project, WStringView text) override;

    // FormListener: the buttons of the document's message forms.
    void form_button(Form& form, ButtonElement& button) override;

private:
    // MenuModel
    MenuContent items(PopupMenu& menu, WStringView path) override;
    WString default_item_node() const override { return u"MenuElement"; }

    void start();
    void finish_logout(LogoutFrom from);
    // Asks the service for news now and then while the program is idle, so what others change
    // shows without the user having to do anything.
    void timer_fired(ActiveTimer& timer, int reserved) override;

    Application& m_application; // Outlives us.
    Properties& m_properties; // Outlives us.
    ScreenMenuHost m_menu_host;
    std::unique_ptr<SkinReloadForm> m_reload_form;
    std::unique_ptr<PopupMenu> m_menu;
    bool m_started { false };
    bool m_resetting { false };
    std::int32_t m_selected_user { -1 };
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<TreeStack> m_tree;
    std::unique_ptr<LoginScreen> m_login;
    std::unique_ptr<ProblemScreen> m_problem;
    std::unique_ptr<MessageForm> m_logout_confirm;
    LogoutFrom m_logout_from { LogoutFrom::Menu };
    std::unique_ptr<MessageForm> m_connecting;
    std::unique_ptr<MessageForm> m_ticket;
    std::unique_ptr<MessageForm> m_message;
    std::unique_ptr<MessageForm> m_version;
    std::unique_ptr<TaskScreen> m_task_screen;
    std::unique_ptr<SharingScreen> m_sharing;
    std::unique_ptr<AllTasksList> m_all_tasks;
    std::unique_ptr<AboutContainer> m_about;
    ActiveTimer m_news_timer;
};

} // namespace corvane
