#include "device/screens/Document.h"
#include "device/screens/sharing/SharingHost.h"
#include "device/screens/sharing/SharingScreen.h"

namespace corvane {

namespace {

    class DocumentSharingHost final : public SharingHost {
    public:
        explicit DocumentSharingHost(Document& document)
            : m_document(document)
        {
        }
        Engine& engine() override { return m_document.engine(); }
        Properties& properties() override { return m_document.properties(); }
        void select_filter_user(std::int32_t id) override { m_document.select_filter_user(id); }
        void show_message(WStringView key, WStringView name) override
        {
            m_document.show_message(key, name);
        }

    private:
        Document& m_document; // Owns the screen that owns us.
    };

} // namespace

SharingScreen::SharingScreen(Document& document)
    : SharingScreen(std::make_unique<DocumentSharingHost>(document), nullptr)
{
}

} // namespace corvane
