#include "SkinDump.h"

#include "SkinSource.h"
#include "device/skin/skin/SkinContent.h"
#include "device/skin/skin/SkinFormat.h"
#include "device/skin/skin/SkinValidator.h"

namespace skinc {

using namespace corvane::skin_format;

namespace {

    std::string quoted(const std::u16string& text)
    {
        std::string out = "\"";
        for (char c : utf16_to_utf8(text)) {
            unsigned char u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (c == '\n') {
                out += "\\n";
            } else if (u < 0x20 || u == 0x7F) {
                static const char digits[] = "0123456789abcdef";
                out += "\\x";
                out += digits[u >> 4];
                out += digits[u & 15];
            } else {
                out += c;
            }
        }
        return out + "\"";
    }

    // Names are printed bare when they are plain identifiers, quoted otherwise.
    std::string name_text(const std::u16string& name)
    {
        if (name.empty())
            return "\"\"";
        for (char16_t c : name) {
            bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
                || (c >= u'0' && c <= u'9') || c == u'_' || c == u'#' || c == u'-' || c == u'.';
            if (!plain)
                return quoted(name);
        }
        return utf16_to_utf8(name);
    }

    class Dumper {
    public:
        Dumper(const std::uint8_t* data, const corvane::SkinResourceLayout& resources,
            std::ostream& out)
            : m_data(data)
            , m_resources(resources)
            , m_out(out)
        {
        }

        void header()
        {
            m_out << "pictures " << m_resources.picture_names.size() << "\n";
            for (std::size_t i = 0; i < m_resources.picture_names.size(); ++i)
                m_out << "  " << i << " " << name_text(text(m_resources.picture_names[i])) << "\n";
            m_out << "fonts " << m_resources.font_descriptions.size() << "\n";
            for (std::size_t i = 0; i < m_resources.font_descriptions.size(); ++i)
                m_out << "  " << i << " " << quoted(text(m_resources.font_descriptions[i])) << "\n";
            m_out << "strings " << m_resources.strings.size() << "\n";
        }

        // In-order walk of the dictionary, so names come out sorted. Iterative: a damaged but
        // valid file may hold a tree as deep as it has entries.
        void dictionary(std::uint32_t root)
        {
            std::vector<std::uint32_t> pending;
            std::uint32_t entry = root;
            while (entry != no_offset || !pending.empty()) {
                while (entry != no_offset) {
                    pending.push_back(entry);
                    entry = read_u32(m_data + entry);
                }
                entry = pending.back();
                pending.pop_back();
                m_out << "node " << name_text(text(read_u32(m_data + entry + 8))) << "\n";
                node(entry + entry_header_size, 1);
                entry = read_u32(m_data + entry + 4);
            }
        }

    private:
        std::u16string text(std::uint32_t offset) const
        {
            return corvane::read_skin_string(m_data, offset);
        }

        void node(std::uint32_t at, int depth)
        {
            std::string indent(2 * depth, ' ');
            for (std::size_t kind = 0; kind < property_kind_count; ++kind) {
                std::uint32_t begin = read_u16(m_data + at + 2 * kind);
                std::uint32_t end = read_u16(m_data + at + 2 * kind + 2);
                for (std::uint32_t r = at + begin; r < at + end; r += record_size[kind]) {
                    const std::uint8_t* p = m_data + r;
                    m_out << indent << kind_names[kind] << " " << name_text(text(read_u16(p)))
                          << " ";
                    switch (static_cast<PropertyKind>(kind)) {
                    case PropertyKind::Integer:
                        m_out << read_u32(p + 4);
                        break;
                    case PropertyKind::Font:
                        m_out << quoted(text(m_resources.font_descriptions[read_u32(p + 4)]));
                        break;
                    case PropertyKind::Point:
                        m_out << read_i16(p + 4) << " " << read_i16(p + 6);
                        break;
                    case PropertyKind::String:
                        m_out << quoted(text(m_resources.strings[read_u16(p + 2)]));
                        break;
                    case PropertyKind::Picture:
                        m_out << name_text(text(m_resources.picture_names[p[18]]));
                        for (int i = 0; i < 8; ++i)
                            m_out << " " << read_u16(p + 2 + 2 * i);
                        m_out << " flag " << int(p[19]);
                        break;
                    case PropertyKind::Color:
                        m_out << int(p[4]) << " " << int(p[5]) << " " << int(p[6]);
                        break;
                    }
                    m_out << "\n";
                }
            }
            std::uint32_t children = read_u16(m_data + at + child_count_at);
            for (std::uint32_t i = 0; i < children; ++i) {
                m_out << indent << "child " << i << "\n";
                node(read_u32(m_data + at + node_header_size + 4 * i), depth + 1);
            }
        }

        const std::uint8_t* m_data;
        const corvane::SkinResourceLayout& m_resources;
        std::ostream& m_out;
    };

} // namespace

bool dump_skin(const std::vector<std::uint8_t>& bytes, std::ostream& out, std::ostream& errors)
{
    if (bytes.size() < header_size || bytes.size() > 0xFFFFFFFFull) {
        errors << "not a skin file: too short\n";
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (read_u16(bytes.data() + 2 * i) != magic[i]) {
            errors << "not a skin file: no skin magic\n";
            return false;
        }
    }
    corvane::SkinValidator validator(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    if (!validator.validate()) {
        errors << "damaged skin file: " << validator.why() << "\n";
        return false;
    }
    out << "corvane-skin-dump 1\n";
    Dumper dumper(bytes.data(), validator.resources(), out);
    dumper.header();
    dumper.dictionary(read_u32(bytes.data() + root_entry_at));
    return true;
}

} // namespace skinc
