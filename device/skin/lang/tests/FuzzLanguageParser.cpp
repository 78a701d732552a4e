// Arbitrary bytes as a language file: parsing must end, never read outside the input, and every
// stored key must be non-empty and free of white space and "=".
#include "device/skin/lang/LanguageFile.h"

#include <cstdlib>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    Properties::LanguageTable table = parse_language_text(bytes, size);
    for (const auto& [key, text] : table) {
        if (key.empty() || key.find_first_of(u" \t\r\n\v\f=") != WString::npos)
            std::abort();
        if (text.find_first_of(u"\r\n") != WString::npos)
            std::abort();
    }
    return 0;
}
