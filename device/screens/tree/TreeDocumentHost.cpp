// The tree screens' ties to the document. Kept apart from the screens so that they can be
// built and tested on their own host.
#include "device/model/engine/Engine.h"
#include "device/screens/Document.h"
#include "device/screens/sharing/SharingScreen.h"
#include "device/screens/task/TaskScreen.h"
#include "device/screens/tree/AllTasksList.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeStack.h"

namespace corvane {

namespace {

    class DocumentTreeHost final : public TreeHost {
    public:
        explicit DocumentTreeHost(Document& document)
            : m_document(document)
        {
        }

        Properties& properties() const override { return m_document.properties(); }
        Engine& engine() const override { return m_document.engine(); }
        TreeStack& tree() const override { return m_document.tree(); }
        WString text(WStringView key) const override { return m_document.text(key); }
        WString user_name(std::int32_t id) const override { return m_document.user_name(id); }
        WString relative_date(std::int64_t milliseconds, bool with_time) const override
        {
            return m_document.relative_date(milliseconds, with_time);
        }
        std::int32_t selected_user() const override { return m_document.selected_user(); }
        void show_main_menu() override { m_document.show_main_menu(); }
        void show_all_tasks(std::int32_t id, WStringView name) override
        {
            m_document.all_tasks().show(id, name);
        }
        void show_task(std::int32_t id) override
        {
            m_document.engine().open_task(id);
            m_document.task_screen().show_task(id);
        }
        void new_record(std::int32_t parent_id) override
        {
            m_document.task_screen().new_record(parent_id);
        }
        void select_user() override
        {
            m_document.sharing_screen().open(m_document.engine().list_project(),
                m_document.selected_user(), SharingScreen::SelectFilter, nullptr);
        }

    private:
        Document& m_document; // Owns the screens that own us.
    };

} // namespace

std::unique_ptr<TreeHost> make_document_tree_host(Document& document)
{
    return std::make_unique<DocumentTreeHost>(document);
}

TreeStack::TreeStack(Document& document)
    : TreeStack(make_document_tree_host(document))
{
}

AllTasksList::AllTasksList(Document& document)
    : AllTasksList(make_document_tree_host(document))
{
}

} // namespace corvane
