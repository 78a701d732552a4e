#pragma once

#include "device/screens/forms/ListForm.h"
#include "device/screens/sharing/SharingRows.h"
#include "device/skin/widgets/ButtonElement.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

namespace corvane {

class Document;
class SharingForm;
class SharingHost;
class SharingScreen;

// Receives the user picked in responsible mode.
class SharingListener {
public:
    virtual ~SharingListener() = default;
    virtual void responsible_chosen(SharingScreen& screen, std::int32_t user_id) = 0;
};

// Lists the users around a project: picks the tree's filter user (mode 0), a task's
// responsible user (mode 1), or manages the project's sharing (mode 2), where addresses are
// invited, known users added and pending invitations withdrawn. Every sharing change is one
// permission change through the engine; the rows follow the engine's reports. Main thread.
class SharingScreen final : private ListFormOwner, private FormListener, private ButtonHandler {
public:
    using Mode = SharingMode;
    using enum SharingMode;

    // The document must outlive the screen.
    explicit SharingScreen(Document& document);
    // The same over any host (which must outlive the screen).
    explicit SharingScreen(SharingHost& host);
    ~SharingScreen() override;
    SharingScreen(const SharingScreen&) = delete;
    SharingScreen& operator=(const SharingScreen&) = delete;

    // Shows the list for `project_id` (-1 for no project). The listener hears the pick of
    // mode 1 and must stay alive while the screen is open.
    void open(
        std::int32_t project_id, std::int32_t current_user, Mode mode, SharingListener* listener);
    bool close(bool animate);
    bool is_open() const;

    void on_task_changed(std::int32_t id);
    void on_task_removed(std::int32_t id);
    void on_users_changed();
    // An invitation from this screen that the service turned down is said so, and its address
    // comes back into the field unless the user has typed something else since.
    void on_permission_refused(std::int32_t project, WStringView text);

    std::int32_t project() const { return m_project; }
    Mode mode() const { return m_mode; }
    SharingForm& form() const { return *m_form; }
    // The row whose removal waits for "confirm_remove", if any.
    struct RowPosition {
        std::int32_t section { -1 };
        std::int32_t row { -1 };
    };
    std::optional<RowPosition> pending_removal() const;

private:
    enum class RowButton { Add, Remove, ConfirmRemove };
    struct RowButtonPlace {
        std::int32_t section;
        std::int32_t row;
        RowButton role;
    };
    // A row as it was when the user acted on it. Rows may be rebuilt before the action runs,
    // so the action finds its row again by what it showed.
    struct RowRef {
        std::int32_t section { -1 };
        std::int32_t row { -1 };
        WString text;
        std::int32_t id { -1 };
    };
    class Deferred;

    SharingScreen(std::unique_ptr<SharingHost> own_host, SharingHost* host);

    void refresh();
    std::optional<RowRef> row_ref(std::int32_t section, std::int32_t row) const;
    // Moves `ref` to where its row is now; false when the row is gone.
    static bool locate(const std::vector<ListRow>& rows, RowRef& ref);
    bool locate(RowRef& ref) const;
    void press_row(RowRef ref);
    void invite();
    void ask_removal(RowRef ref);
    void confirm_removal(RowRef ref);
    void finish_pick();
    // Button presses act after the event that carried them: an action may rebuild the rows,
    // and with them the pressed button.
    void defer(std::function<void()> action);

    // ListFormOwner
    void row_pressed(ListForm& form, std::int32_t section, std::int32_t row) override;
    void leaving(ListForm& form) override;
    void row_built(
        ListForm& form, std::int32_t section, std::int32_t row, Element& element) override;
    // FormListener: "plus".
    void form_button(Form& form, ButtonElement& button) override;
    // ButtonHandler: "add", "remove" and "confirm_remove" of the rows.
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;

    std::unique_ptr<SharingHost> m_own_host; // the document's adapter, when built on one
    SharingHost& m_host;
    std::unique_ptr<SharingForm> m_form;
    std::unique_ptr<Deferred> m_deferred;
    std::int32_t m_project { sharing_idle };
    std::int32_t m_current_user { -1 };
    Mode m_mode { SelectFilter };
    SharingListener* m_listener { nullptr }; // Not owned.
    SharingTitles m_titles;
    std::optional<RowRef> m_pending; // the row whose removal awaits confirmation
    std::optional<WString> m_invited; // the address of the invitation on its way
    // The row buttons of the rows built since the last rebuild. Entries of rows that were
    // dropped are harmless: only a live button of ours can report a click, and building a
    // row rewrites the entries of its buttons.
    std::unordered_map<const ButtonElement*, RowButtonPlace> m_row_buttons;
};

} // namespace corvane
