#include "device/app/Entry.h"

#include "common/base/Text.h"
#include "device/model/engine/ServiceUrl.h"
#include "device/screens/Document.h"

#include <clocale>

// The sanitizer build checks for leaks at exit; the font-matching and desktop-bus libraries keep
// allocations of their own until then, which are not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

// Standard error carries the program's messages; the list of suppressions used is noise there.
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

namespace {

// The splash's hold on the document.
class DocumentProgram final : public corvane::StartedProgram {
public:
    DocumentProgram(corvane::Application& application, corvane::Properties& properties,
        const std::string& service_choice)
        : m_document(application, properties,
            corvane::resolve_service_url(corvane::from_utf8(service_choice)))
    {
    }
    void save_state() override { m_document.save(); }
    void kill_request() override { m_document.kill_request(); }

private:
    corvane::Document m_document;
};

} // namespace

int main(int argc, char** argv)
{
    // Dates and times in the user's regional format; everything else stays in the C locale, so
    // numbers on the wire and in files never change with the user's settings.
    std::setlocale(LC_TIME, "");
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return corvane::corvane_main(arguments,
        [](corvane::Application& application, corvane::Properties& properties,
            const std::string& service_choice) -> std::unique_ptr<corvane::StartedProgram> {
            return std::make_unique<DocumentProgram>(application, properties, service_choice);
        });
}
