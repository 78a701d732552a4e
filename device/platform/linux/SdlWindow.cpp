#include "device/platform/linux/SdlWindow.h"

#include "common/base/Text.h"
#include "device/platform/Platform.h"
#include "device/platform/linux/SdlClipboard.h"
#include "device/platform/linux/SdlKeys.h"

#include <SDL.h>

#include <cstdio>

namespace corvane {

namespace {

    struct WindowDeleter {
        void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
    };
    struct RendererDeleter {
        void operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }
    };
    struct TextureDeleter {
        void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
    };

} // namespace

struct SdlWindow::State {
    WindowOptions options;
    std::int32_t rotation { 0 };
    std::uint32_t wake_event { 0 };
    std::unique_ptr<SDL_Window, WindowDeleter> window;
    std::unique_ptr<SDL_Renderer, RendererDeleter> renderer;
    std::unique_ptr<SDL_Texture, TextureDeleter> texture;
    std::int32_t texture_width { 0 };
    std::int32_t texture_height { 0 };
    bool captured { false };
    bool rotation_key_down { false }; // the R of Ctrl+R, whose release is not a key either
    SdlClipboard clipboard;
    Clipboard* previous_clipboard { nullptr };

    void translate(const SDL_Event& event, std::deque<Message>& out);
    void rotate(std::deque<Message>& out);
};

std::unique_ptr<SdlWindow> SdlWindow::create(const WindowOptions& options, std::string& error)
{
    // Video stays up for the rest of the process once started: shutting it down unloads the
    // window system's libraries, which keep allocations of their own until exit.
    static std::uint32_t s_wake_event = 0;
    if (!s_wake_event) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = SDL_GetError();
            return nullptr;
        }
        std::uint32_t wake_event = SDL_RegisterEvents(1);
        if (wake_event == static_cast<std::uint32_t>(-1)) {
            error = "no SDL user event left";
            return nullptr;
        }
        s_wake_event = wake_event;
    }
    std::unique_ptr<SdlWindow> window(new SdlWindow(options));
    window->m_state->wake_event = s_wake_event;
    return window;
}

SdlWindow::SdlWindow(const WindowOptions& options)
    : m_state(std::make_unique<State>())
{
    m_state->options = options;
    m_state->rotation = options.rotation & 3;
}

SdlWindow::~SdlWindow()
{
    destroy_window();
}

bool SdlWindow::create_window(const std::u16string& title, std::int32_t width, std::int32_t height)
{
    if (m_state->window)
        return true;
    m_state->window.reset(SDL_CreateWindow(to_utf8(title).c_str(), SDL_WINDOWPOS_CENTERED,
        SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_SHOWN));
    if (!m_state->window)
        return false;
    m_state->renderer.reset(SDL_CreateRenderer(m_state->window.get(), -1, 0));
    if (!m_state->renderer)
        m_state->renderer.reset(
            SDL_CreateRenderer(m_state->window.get(), -1, SDL_RENDERER_SOFTWARE));
    if (!m_state->renderer) {
        m_state->window.reset();
        return false;
    }
    SDL_StartTextInput();
    m_state->previous_clipboard = platform().clipboard;
    platform().clipboard = &m_state->clipboard;
    return true;
}

void SdlWindow::destroy_window()
{
    if (!m_state->window)
        return;
    if (platform().clipboard == &m_state->clipboard)
        platform().clipboard = m_state->previous_clipboard;
    if (m_state->captured)
        SDL_CaptureMouse(SDL_FALSE);
    m_state->captured = false;
    SDL_StopTextInput();
    m_state->texture.reset();
    m_state->renderer.reset();
    m_state->window.reset();
}

bool SdlWindow::has_window() const
{
    return m_state->window != nullptr;
}

std::uint32_t SdlWindow::window_id() const
{
    return m_state->window ? SDL_GetWindowID(m_state->window.get()) : 0;
}

DisplayState SdlWindow::display() const
{
    const WindowOptions& options = m_state->options;
    bool turned = (m_state->rotation & 1) != 0;
    return { turned ? options.height : options.width, turned ? options.width : options.height,
        m_state->rotation, options.dpi };
}

void SdlWindow::move_window(std::int32_t, std::int32_t, std::int32_t width, std::int32_t height)
{
    // The window stands for the device's display, so only its size follows the usable area.
    if (!m_state->window || width <= 0 || height <= 0)
        return;
    int current_width = 0;
    int current_height = 0;
    SDL_GetWindowSize(m_state->window.get(), &current_width, &current_height);
    if (current_width != width || current_height != height)
        SDL_SetWindowSize(m_state->window.get(), width, height);
}

void SdlWindow::present(const FrameView& frame)
{
    if (!m_state->renderer || !frame.pixels || frame.width <= 0 || frame.height <= 0)
        return;
    if (!m_state->texture || m_state->texture_width != frame.width
        || m_state->texture_height != frame.height) {
        m_state->texture.reset(SDL_CreateTexture(m_state->renderer.get(), SDL_PIXELFORMAT_RGB565,
            SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height));
        if (!m_state->texture)
            return;
        m_state->texture_width = frame.width;
        m_state->texture_height = frame.height;
    }
    SDL_UpdateTexture(m_state->texture.get(), nullptr, frame.pixels, frame.stride);
    SDL_Rect target { 0, 0, frame.width, frame.height };
    SDL_RenderClear(m_state->renderer.get());
    SDL_RenderCopy(m_state->renderer.get(), m_state->texture.get(), nullptr, &target);
    SDL_RenderPresent(m_state->renderer.get());
}

void SdlWindow::capture_pointer()
{
    SDL_CaptureMouse(SDL_TRUE);
    m_state->captured = true;
}

bool SdlWindow::release_pointer()
{
    bool held = m_state->captured;
    if (held)
        SDL_CaptureMouse(SDL_FALSE);
    m_state->captured = false;
    return held;
}

void SdlWindow::minimize()
{
    if (m_state->window)
        SDL_MinimizeWindow(m_state->window.get());
}

void SdlWindow::bring_to_front()
{
    if (!m_state->window)
        return;
    SDL_RestoreWindow(m_state->window.get());
    SDL_RaiseWindow(m_state->window.get());
}

void SdlWindow::message_box(const std::u16string& caption, const std::u16string& text)
{
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, to_utf8(caption).c_str(),
            to_utf8(text).c_str(), m_state->window.get())
        != 0) {
        std::string out = to_utf8(text);
        if (out.empty() || out.back() != '\n')
            out += '\n';
        std::fputs(out.c_str(), stderr);
    }
}

void SdlWindow::wake()
{
    SDL_Event event {};
    event.type = m_state->wake_event;
    SDL_PushEvent(&event);
}

void SdlWindow::wait_input(std::optional<std::uint32_t> timeout_ms, std::deque<Message>& out)
{
    SDL_Event event;
    int got;
    if (!timeout_ms)
        got = SDL_WaitEvent(&event);
    else if (*timeout_ms == 0)
        got = SDL_PollEvent(&event);
    else
        got = SDL_WaitEventTimeout(
            &event, static_cast<int>(std::min<std::uint32_t>(*timeout_ms, 1u << 30)));
    if (!got)
        return;
    do {
        m_state->translate(event, out);
    } while (SDL_PollEvent(&event));
}

void SdlWindow::State::rotate(std::deque<Message>& out)
{
    rotation = (rotation + 1) & 3;
    Message change;
    change.kind = MessageKind::SettingChange;
    change.wparam = 47; // the work area changed
    change.time = platform_clock().tick_count_ms();
    out.push_back(change);
}

void SdlWindow::State::translate(const SDL_Event& event, std::deque<Message>& out)
{
    Message message;
    message.time = platform_clock().tick_count_ms();
    auto emit = [&](MessageKind kind) {
        message.kind = kind;
        out.push_back(message);
    };
    switch (event.type) {
    case SDL_QUIT:
        emit(MessageKind::Close);
        return;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            emit(MessageKind::Close);
            return;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            emit(MessageKind::Paint);
            return;
        // A desktop window without the focus is still in sight, so it stays active and keeps
        // drawing; only a window nobody can see pauses.
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
            message.wparam = 1;
            emit(MessageKind::Activate);
            message.wparam = 0;
            emit(MessageKind::Paint);
            return;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
            message.wparam = 0;
            emit(MessageKind::Activate);
            return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (captured) {
                // Another window took the pointer while the stylus was down.
                captured = false;
                SDL_CaptureMouse(SDL_FALSE);
                emit(MessageKind::CaptureChanged);
            }
            return;
        default:
            return;
        }
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        emit(MessageKind::Paint);
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        bool down = event.type == SDL_KEYDOWN;
        if (event.key.keysym.sym == SDLK_r
            && (rotation_key_down || (down && (event.key.keysym.mod & KMOD_CTRL) != 0))) {
            if (down && !event.key.repeat)
                rotate(out);
            rotation_key_down = down;
            return;
        }
        std::uint32_t virtual_key = virtual_key_for_sdl_key(event.key.keysym.sym);
        if (virtual_key == 0)
            return;
        message.wparam = virtual_key;
        message.lparam = make_key_data(static_cast<std::uint32_t>(event.key.keysym.scancode),
            down && event.key.repeat != 0, !down);
        emit(down ? MessageKind::KeyDown : MessageKind::KeyUp);
        // Keys that type a control character do so on the device as well.
        if (down
            && (virtual_key == 8 || virtual_key == 9 || virtual_key == 13 || virtual_key == 27)) {
            message.wparam = virtual_key;
            emit(MessageKind::Char);
        }
        return;
    }
    case SDL_TEXTINPUT:
        for (char16_t unit : from_utf8(event.text.text)) {
            message.wparam = unit;
            message.lparam = 1;
            emit(MessageKind::Char);
        }
        return;
    case SDL_MOUSEMOTION:
        message.x = event.motion.x;
        message.y = event.motion.y;
        emit(MessageKind::PointerMove);
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button != SDL_BUTTON_LEFT)
            return;
        message.x = event.button.x;
        message.y = event.button.y;
        emit(event.type == SDL_MOUSEBUTTONDOWN ? MessageKind::ButtonDown : MessageKind::ButtonUp);
        return;
    default:
        // The wake-up event and everything the device has no counterpart for.
        return;
    }
}

} // namespace corvane
