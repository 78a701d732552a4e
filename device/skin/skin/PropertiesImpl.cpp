#include "device/skin/skin/PropertiesImpl.h"

#include "device/core/File.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/Ticks.h"
#include "device/skin/render/BmpFile.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/FontDescriptionParser.h"
#include "device/skin/skin/SkinContent.h"
#include "device/skin/skin/SkinValidator.h"

#include <algorithm>
#include <optional>

namespace corvane {

using namespace skin_format;

namespace {

    void log_record_sizes()
    {
        static const struct {
            const char* label;
            int size;
        } lines[] = {
            { "sizeof(Node*4)=", 8 },
            { "sizeof(IntegerNode*4)=", 32 },
            { "sizeof(PointNode*4)=", 32 },
            { "sizeof(Node)=", 2 },
            { "sizeof(IntegerNode)=", 8 },
            { "IntegerNode::Size=", 8 },
            { "sizeof(PointNode)=", 8 },
            { "PointNode::Size=", 8 },
            { "sizeof(ColorNode)=", 8 },
            { "ColorNode::Size=", 8 },
            { "sizeof(StringNode)=", 4 },
            { "StringNode::Size=", 4 },
            { "sizeof(PictureNode)=", 20 },
            { "PictureNode::Size=", 20 },
        };
        LogStream& log = get_log();
        for (const auto& line : lines)
            log << line.label << line.size << "\n";
    }

    bool has_magic(const SharedBuffer& image)
    {
        for (int i = 0; i < 4; ++i) {
            if (read_u16(image.data() + 2 * i) != magic[i])
                return false;
        }
        return true;
    }

    // Picture names are file names beside the skin; one that climbs into other folders is damage.
    bool is_plain_file_name(WStringView name)
    {
        if (name.empty() || name == u"." || name == u"..")
            return false;
        for (char16_t c : name) {
            if (c == u'/' || c == u'\\' || c < 0x20)
                return false;
        }
        return true;
    }

    // Reading a stopwatch restarts it.
    class Stopwatch {
    public:
        Stopwatch()
            : m_start(tick_count())
        {
        }
        WString read()
        {
            std::uint32_t now = tick_count();
            WString text = format_seconds(now - m_start);
            m_start = now;
            return text;
        }

    private:
        std::uint32_t m_start;
    };

} // namespace

WString format_seconds(std::uint32_t milliseconds)
{
    WString fraction = to_wstring(milliseconds % 1000);
    while (fraction.size() < 3)
        fraction.insert(fraction.begin(), u'0');
    return to_wstring(milliseconds / 1000) + u"." + fraction;
}

PropertiesImpl::PropertiesImpl(WStringView path, const DisplayInfo& display)
{
    log_record_sizes();
    LogStream& log = get_log();
    // The error lines name the file that was tried, not the macro it was written with.
    WString shown = expand_path(path);
    std::optional<SharedBuffer> image = read_whole_file(path);
    if (!image) {
        log << u"Error: skin [" << shown << u"] failed to load\n";
        return;
    }
    if (image->size() < header_size || !has_magic(*image))
        return;
    SkinValidator validator(image->data(), image->size());
    if (!validator.validate()) {
        log << u"Error: skin [" << shown << u"] is damaged: " << validator.why() << "\n";
        return;
    }
    const SkinResourceLayout& resources = validator.resources();
    auto content = std::make_unique<SkinContent>();
    content->image = std::move(*image);
    content->scale_shift = std::clamp(display.scale_shift, 0, 2);
    const std::uint8_t* data = content->image.data();
    Stopwatch stopwatch;

    WString folder = dir_of(path);
    content->pictures.reserve(resources.picture_names.size());
    for (std::uint32_t offset : resources.picture_names) {
        WString name = read_skin_string(data, offset);
        if (!is_plain_file_name(name)) {
            log << u"Error: skin [" << shown << u"] is damaged: picture name {" << name
                << u"} is not a file name\n";
            return;
        }
        Bitmap bitmap = load_565(folder + name + u".bmp");
        if (bitmap.is_empty()) {
            log << u"PropertiesImpl::PropertiesImpl picture failed to load {" << name << u"}\n";
            return;
        }
        content->pictures.push_back(ImageRef::whole(bitmap));
        log << u"PropertiesImpl::PropertiesImpl picture load time=" << stopwatch.read() << u" {"
            << name << u"}\n";
    }

    std::int32_t multiplier = 1 << content->scale_shift;
    content->fonts.reserve(resources.font_descriptions.size());
    for (std::uint32_t offset : resources.font_descriptions)
        content->fonts.push_back(
            create_font(parse_font_description(read_skin_string(data, offset), multiplier)));

    content->strings.reserve(resources.strings.size());
    for (std::uint32_t offset : resources.strings)
        content->strings.push_back(read_skin_string(data, offset));
    log << u"PropertiesImpl::PropertiesImpl fonts create time=" << stopwatch.read() << u"\n";
    m_content = std::move(content);
}

PropertiesImpl::~PropertiesImpl() = default;

} // namespace corvane
