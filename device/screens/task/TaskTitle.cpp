#include "device/screens/task/TaskTitle.h"

namespace corvane {

namespace {

    // Where the first line ends and how long its line break is.
    std::pair<std::size_t, std::size_t> first_break(WStringView text)
    {
        std::size_t crlf = text.find(u"\r\n");
        if (crlf != WStringView::npos)
            return { crlf, 2 };
        std::size_t lf = text.find(u'\n');
        if (lf != WStringView::npos)
            return { lf, 1 };
        return { text.size(), 0 };
    }

} // namespace

WString task_title(WStringView text)
{
    return WString(text.substr(0, first_break(text).first));
}

WString task_description(WStringView text)
{
    auto [at, length] = first_break(text);
    return at >= text.size() ? WString() : WString(text.substr(at + length));
}

} // namespace corvane
