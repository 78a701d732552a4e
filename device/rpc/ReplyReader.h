#pragma once

#include "common/wire/RpcReader.h"
#include "device/core/SharedBuffer.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace corvane {

// Parses a reply of the service, or the cache file, into its value list and string table and
// hands the values out in the order the records read them. One reader serves every reply of
// a service client; each parse starts from scratch. Main thread only (one thread at a time).
class ReplyReader final : public RpcReader {
public:
    ReplyReader();
    ~ReplyReader() override;
    ReplyReader(const ReplyReader&) = delete;
    ReplyReader& operator=(const ReplyReader&) = delete;

    // Decodes the bytes from UTF-8 and parses the text. A reply that fails the prefix, suffix,
    // split or integer checks answers false and leaves the reader empty (every load_int then
    // answers -1).
    [[nodiscard]] bool parse(const std::uint8_t* bytes, std::size_t size);
    [[nodiscard]] bool parse(const SharedBuffer& body) { return parse(body.data(), body.size()); }
    [[nodiscard]] bool parse(std::string_view bytes)
    {
        return parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    // The same checks on text that is already decoded.
    [[nodiscard]] bool parse_text(WStringView text);

    // Whether the last successful parse read a reply beginning with "//EX[".
    bool is_exception() const { return m_exception; }

    // The last value of the list, removed from it; -1 once the list is empty.
    std::int32_t load_int() override;
    // A string reference whose text is read as hexadecimal; the empty string gives 0.
    std::int64_t load_int64() override;
    // A string reference: 0 gives the empty string. A reference outside the table (which is
    // also what reading past the end gives) sets the error flag and answers the empty string.
    WStringView load_string() override;
    std::size_t remaining() const override { return m_unread; }
    bool has_error() const override { return m_error; }

    // The parsed values in text order, unaffected by the loads.
    const std::vector<std::int32_t>& values() const { return m_values; }
    std::size_t string_count() const { return m_strings.size(); }
    // 0-based index into the string table (reference minus one).
    WStringView string_at(std::size_t index) const;

private:
    struct Span {
        std::size_t offset;
        std::size_t length;
    };

    bool parse_decoded();
    bool parse_bytes(const std::uint8_t* text, std::size_t length);
    bool parse_with_strings(std::size_t begin, std::size_t end);
    bool parse_byte_strings(const std::uint8_t* begin, const std::uint8_t* end);
    template<typename Char>
    bool parse_values(const Char* begin, const Char* end, const Char** string_list);
    void add_string(char16_t* begin, char16_t* end, bool has_escapes);
    void add_byte_string(const std::uint8_t* begin, const std::uint8_t* end);
    bool conclude(bool parsed, bool exception);
    void reset();
    void reserve_text(std::size_t units);

    // The decoded reply with its strings unescaped in place, or, when the structure was read
    // from the bytes, only the decoded strings one after the other.
    std::unique_ptr<char16_t[]> m_text;
    std::size_t m_capacity { 0 };
    std::size_t m_length { 0 };
    std::vector<std::int32_t> m_values;
    std::vector<Span> m_strings;
    std::size_t m_unread { 0 };
    bool m_exception { false };
    bool m_error { false };
};

} // namespace corvane
