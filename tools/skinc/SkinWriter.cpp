#include "SkinWriter.h"

#include <algorithm>
#include <functional>
#include <set>

namespace skinc {

namespace {

    constexpr std::uint32_t no_offset = 0xFFFFFFFF;
    constexpr std::uint32_t record_size[] = { 8, 8, 8, 4, 20, 8 };

    class Output {
    public:
        std::uint32_t size() const { return static_cast<std::uint32_t>(m_bytes.size()); }
        void u8(std::uint8_t v) { m_bytes.push_back(v); }
        void u16(std::uint16_t v)
        {
            u8(static_cast<std::uint8_t>(v));
            u8(static_cast<std::uint8_t>(v >> 8));
        }
        void u32(std::uint32_t v)
        {
            u16(static_cast<std::uint16_t>(v));
            u16(static_cast<std::uint16_t>(v >> 16));
        }
        void text(const std::u16string& s)
        {
            for (char16_t c : s)
                u16(c);
            u16(0);
        }
        void align4()
        {
            while (m_bytes.size() % 4)
                u8(0);
        }
        void put_u16(std::uint32_t at, std::uint16_t v)
        {
            m_bytes[at] = static_cast<std::uint8_t>(v);
            m_bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        void put_u32(std::uint32_t at, std::uint32_t v)
        {
            put_u16(at, static_cast<std::uint16_t>(v));
            put_u16(at + 2, static_cast<std::uint16_t>(v >> 16));
        }
        std::vector<std::uint8_t>& bytes() { return m_bytes; }

    private:
        std::vector<std::uint8_t> m_bytes;
    };

    void walk(const Node& node, const std::function<void(const Node&)>& visit)
    {
        visit(node);
        for (const Node& child : node.children)
            walk(child, visit);
    }

    // Assigns each distinct value its position in first-use order.
    template<typename Key> class Table {
    public:
        std::uint32_t add(const Key& key)
        {
            auto [it, fresh] = m_index.try_emplace(key, static_cast<std::uint32_t>(m_order.size()));
            if (fresh)
                m_order.push_back(key);
            return it->second;
        }
        std::uint32_t at(const Key& key) const { return m_index.at(key); }
        const std::vector<Key>& order() const { return m_order; }

    private:
        std::map<Key, std::uint32_t> m_index;
        std::vector<Key> m_order;
    };

    class Writer {
    public:
        Writer(const Source& source, const std::map<std::string, PictureSize>& pictures)
            : m_source(source)
            , m_sizes(pictures)
        {
        }

        std::vector<std::uint8_t> write()
        {
            collect();
            // Header: the magic, 64 bytes the reader ignores, then the five fields.
            for (char16_t c : { u'\u0421', u'\u043A', u'\u0438', u'\u043D' })
                m_out.u16(c);
            for (int i = 0; i < 64; ++i)
                m_out.u8(0);
            for (int i = 0; i < 5; ++i)
                m_out.u32(0);

            // Property names first, where a 16-bit offset reaches them.
            for (const std::u16string& name : m_names) {
                m_name_offsets[name] = m_out.size();
                m_out.text(name);
            }
            if (m_out.size() > 0x10000)
                throw CompileError("the property names take " + std::to_string(m_out.size())
                    + " bytes; they must fit in the first 65536 bytes of the file");

            std::uint32_t text_block = m_out.size();
            for (const std::string& name : m_pictures.order())
                m_out.text(utf8_to_utf16(name, "picture"));
            for (const std::u16string& font : m_fonts.order())
                m_out.text(font);
            for (const std::u16string& text : m_strings.order())
                m_out.text(text);

            std::vector<std::pair<std::u16string, const Node*>> sorted;
            for (const auto& [name, node] : m_source.nodes)
                sorted.emplace_back(name, &node);
            std::sort(sorted.begin(), sorted.end(),
                [](const auto& a, const auto& b) { return a.first < b.first; });
            for (std::size_t i = 1; i < sorted.size(); ++i) {
                if (sorted[i].first == sorted[i - 1].first)
                    throw CompileError(
                        "nodes." + utf16_to_utf8(sorted[i].first) + ": defined twice");
            }
            std::uint32_t root = write_tree(sorted, 0, sorted.size());

            m_out.put_u32(72, root);
            m_out.put_u32(76, static_cast<std::uint32_t>(m_pictures.order().size()));
            m_out.put_u32(80, static_cast<std::uint32_t>(m_fonts.order().size()));
            m_out.put_u32(84, text_block);
            m_out.put_u32(88, static_cast<std::uint32_t>(m_strings.order().size()));
            return std::move(m_out.bytes());
        }

    private:
        void collect()
        {
            std::set<std::u16string> names;
            for (const auto& [_, top] : m_source.nodes) {
                walk(top, [&](const Node& node) {
                    std::set<std::pair<int, std::u16string>> seen;
                    for (const Property& p : node.properties) {
                        if (!seen.emplace(static_cast<int>(p.kind), p.name).second)
                            throw CompileError(p.where + ": the node has two "
                                + kind_names[int(p.kind)] + " properties of this name");
                        names.insert(p.name);
                        switch (p.kind) {
                        case Kind::Font:
                            m_fonts.add(p.text);
                            break;
                        case Kind::String:
                            if (m_strings.add(p.text) > 0xFFFF)
                                throw CompileError(p.where
                                    + ": more than 65536 different strings; "
                                      "string indexes are two bytes");
                            break;
                        case Kind::Picture:
                            if (m_pictures.add(p.picture) > 0xFF)
                                throw CompileError(p.where
                                    + ": more than 256 different pictures; "
                                      "picture indexes are one byte");
                            break;
                        default:
                            break;
                        }
                    }
                });
            }
            m_names.assign(names.begin(), names.end());
        }

        // A balanced tree over sorted[begin, end): the middle entry is the subtree's root.
        std::uint32_t write_tree(const std::vector<std::pair<std::u16string, const Node*>>& sorted,
            std::size_t begin, std::size_t end)
        {
            if (begin >= end)
                return no_offset;
            std::size_t middle = begin + (end - begin) / 2;
            m_out.align4();
            std::uint32_t entry = m_out.size();
            m_out.u32(no_offset);
            m_out.u32(no_offset);
            m_out.u32(0);
            write_node(*sorted[middle].second);
            std::uint32_t name = m_out.size();
            m_out.text(sorted[middle].first);
            m_out.put_u32(entry + 8, name);
            m_out.put_u32(entry, write_tree(sorted, begin, middle));
            m_out.put_u32(entry + 4, write_tree(sorted, middle + 1, end));
            return entry;
        }

        std::uint32_t write_node(const Node& node)
        {
            if (node.children.size() > 0xFFFF)
                throw CompileError(node.where + ": more than 65535 children");
            // The node record must stay where write_tree put it (right after an entry's links).
            std::uint32_t start = m_out.size();
            std::vector<const Property*> by_kind[6];
            for (const Property& p : node.properties)
                by_kind[int(p.kind)].push_back(&p);
            std::uint32_t header = 16 + 4 * static_cast<std::uint32_t>(node.children.size());
            std::uint32_t offsets[7];
            offsets[0] = header;
            for (int k = 0; k < 6; ++k) {
                std::sort(by_kind[k].begin(), by_kind[k].end(),
                    [](const Property* a, const Property* b) { return a->name < b->name; });
                offsets[k + 1]
                    = offsets[k] + record_size[k] * static_cast<std::uint32_t>(by_kind[k].size());
            }
            if (offsets[6] > 0xFFFF)
                throw CompileError(node.where + ": the node's children and properties take "
                    + std::to_string(offsets[6]) + " bytes; a node record reaches at most 65535");
            for (std::uint32_t o : offsets)
                m_out.u16(static_cast<std::uint16_t>(o));
            m_out.u16(static_cast<std::uint16_t>(node.children.size()));
            std::uint32_t child_table = m_out.size();
            for (std::size_t i = 0; i < node.children.size(); ++i)
                m_out.u32(0);
            for (int k = 0; k < 6; ++k) {
                for (const Property* p : by_kind[k])
                    write_record(*p);
            }
            for (std::size_t i = 0; i < node.children.size(); ++i) {
                m_out.align4();
                m_out.put_u32(
                    child_table + 4 * static_cast<std::uint32_t>(i), write_node(node.children[i]));
            }
            return start;
        }

        void write_record(const Property& p)
        {
            m_out.u16(static_cast<std::uint16_t>(m_name_offsets.at(p.name)));
            switch (p.kind) {
            case Kind::Integer:
                m_out.u16(0);
                m_out.u32(p.integer);
                break;
            case Kind::Font:
                m_out.u16(0);
                m_out.u32(m_fonts.at(p.text));
                break;
            case Kind::Point:
                m_out.u16(0);
                m_out.u16(static_cast<std::uint16_t>(p.x));
                m_out.u16(static_cast<std::uint16_t>(p.y));
                break;
            case Kind::String:
                m_out.u16(static_cast<std::uint16_t>(m_strings.at(p.text)));
                break;
            case Kind::Picture: {
                std::uint16_t coords[8];
                std::copy(std::begin(p.coords), std::end(p.coords), coords);
                if (p.whole_picture)
                    whole_coords(p, coords);
                for (std::uint16_t c : coords)
                    m_out.u16(c);
                m_out.u8(static_cast<std::uint8_t>(m_pictures.at(p.picture)));
                m_out.u8(p.flag);
                break;
            }
            case Kind::Color:
                m_out.u16(0);
                m_out.u8(p.red);
                m_out.u8(p.green);
                m_out.u8(p.blue);
                m_out.u8(0);
                break;
            }
        }

        void whole_coords(const Property& p, std::uint16_t coords[8]) const
        {
            auto found = m_sizes.find(p.picture);
            if (found == m_sizes.end())
                throw CompileError(p.where + ": no art for picture \"" + p.picture + "\"");
            std::int32_t w = found->second.width, h = found->second.height;
            if (w > 0xFFFF || h > 0xFFFF)
                throw CompileError(
                    p.where + ": picture \"" + p.picture + "\" is larger than 65535 pixels");
            if (p.border[0] + p.border[2] > w || p.border[1] + p.border[3] > h)
                throw CompileError(
                    p.where + ": the border is wider than picture \"" + p.picture + "\"");
            std::int32_t values[8]
                = { 0, 0, p.border[0], p.border[1], w - p.border[2], h - p.border[3], w, h };
            for (int i = 0; i < 8; ++i)
                coords[i] = static_cast<std::uint16_t>(values[i]);
        }

        const Source& m_source;
        const std::map<std::string, PictureSize>& m_sizes;
        Output m_out;
        std::vector<std::u16string> m_names;
        std::map<std::u16string, std::uint32_t> m_name_offsets;
        Table<std::string> m_pictures;
        Table<std::u16string> m_fonts;
        Table<std::u16string> m_strings;
    };

} // namespace

std::vector<std::uint8_t> write_skin(
    const Source& source, const std::map<std::string, PictureSize>& pictures)
{
    return Writer(source, pictures).write();
}

std::vector<std::string> picture_names(const Source& source)
{
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const auto& [_, top] : source.nodes) {
        walk(top, [&](const Node& node) {
            for (const Property& p : node.properties) {
                if (p.kind == Kind::Picture && seen.insert(p.picture).second)
                    names.push_back(p.picture);
            }
        });
    }
    return names;
}

} // namespace skinc
