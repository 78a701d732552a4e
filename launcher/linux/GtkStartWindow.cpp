#include "launcher/linux/GtkStartWindow.h"

#include "launcher/PageScript.h"
#include "launcher/Text.h"
#include "launcher/linux/X11TopLevels.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace lumbra {

namespace {

    // Page scripts cannot see or fake the launcher's messages: the hooks live in their own world.
    constexpr char s_script_world[] = "lumbra";

    std::string string_property(JSCValue* object, const char* name)
    {
        JSCValue* value = jsc_value_object_get_property(object, name);
        std::string text;
        if (value && jsc_value_is_string(value)) {
            char* raw = jsc_value_to_string(value);
            text = raw ? raw : "";
            g_free(raw);
        }
        if (value)
            g_object_unref(value);
        return text;
    }

    template<typename Read> auto read_property(JSCValue* object, const char* name, Read read)
    {
        JSCValue* value = jsc_value_object_get_property(object, name);
        auto result = read(value);
        if (value)
            g_object_unref(value);
        return result;
    }

} // namespace

GtkStartWindow::GtkStartWindow()
{
    m_content = webkit_user_content_manager_new();
    g_signal_connect(m_content,
        ("script-message-received::" + std::string(page_message_handler)).c_str(),
        G_CALLBACK(on_script_message), this);
    webkit_user_content_manager_register_script_message_handler_in_world(
        m_content, std::string(page_message_handler).c_str(), s_script_world);
    WebKitUserScript* script = webkit_user_script_new_for_world(page_script().c_str(),
        WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
        s_script_world, nullptr, nullptr);
    webkit_user_content_manager_add_script(m_content, script);
    webkit_user_script_unref(script);

    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(m_window), "Lumbra");
    g_signal_connect(m_window, "destroy", G_CALLBACK(on_destroy), this);

    m_view = WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", m_content, nullptr));
    WebKitSettings* settings = webkit_web_view_get_settings(m_view);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    g_signal_connect(m_view, "load-failed", G_CALLBACK(on_load_failed), nullptr);
    g_signal_connect(
        m_view, "web-process-terminated", G_CALLBACK(on_web_process_terminated), nullptr);
    // A window's only child gets its whole size, now and after every resize.
    gtk_container_add(GTK_CONTAINER(m_window), GTK_WIDGET(m_view));
}

GtkStartWindow::~GtkStartWindow()
{
    if (m_close_source)
        g_source_remove(m_close_source);
    if (m_window) {
        g_signal_handlers_disconnect_by_data(m_window, this);
        gtk_widget_destroy(m_window);
    }
    g_signal_handlers_disconnect_by_data(m_content, this);
    g_object_unref(m_content);
}

void GtkStartWindow::set_click_handler(ClickHandler handler)
{
    m_click_handler = std::move(handler);
}

void GtkStartWindow::set_caption(const std::u16string& caption)
{
    if (m_window)
        gtk_window_set_title(GTK_WINDOW(m_window), to_utf8(caption).c_str());
}

void GtkStartWindow::set_view_tooltip(const std::u16string& text)
{
    if (m_view)
        gtk_widget_set_tooltip_text(GTK_WIDGET(m_view), to_utf8(text).c_str());
}

void GtkStartWindow::remove_frame_and_move_to_origin()
{
    if (!m_window)
        return;
    gtk_window_set_decorated(GTK_WINDOW(m_window), FALSE);
    gtk_window_move(GTK_WINDOW(m_window), 0, 0);
}

void GtkStartWindow::set_size(int width, int height)
{
    if (!m_window)
        return;
    // X windows cannot be empty; a window of one pixel with an empty shape shows nothing.
    width = std::max(width, 1);
    height = std::max(height, 1);
    gtk_window_set_default_size(GTK_WINDOW(m_window), width, height);
    gtk_window_resize(GTK_WINDOW(m_window), width, height);
}

void GtkStartWindow::set_shape(const WindowShape& shape)
{
    if (!m_window)
        return;
    cairo_region_t* region = cairo_region_create();
    for (const PixelRect& rect : shape.rects()) {
        cairo_rectangle_int_t r { rect.x, rect.y, rect.width, rect.height };
        cairo_region_union_rectangle(region, &r);
    }
    gtk_widget_shape_combine_region(m_window, region);
    cairo_region_destroy(region);
    m_shape = shape;
    m_has_shape = true;
}

void GtkStartWindow::set_instance_property(const std::string& name)
{
    if (!m_window)
        return;
    gtk_widget_realize(m_window);
    GdkWindow* window = gtk_widget_get_window(m_window);
    x11::set_marker_property(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window), name);
}

void GtkStartWindow::load(const std::string& uri)
{
    if (m_view)
        webkit_web_view_load_uri(m_view, uri.c_str());
}

void GtkStartWindow::show()
{
    if (!m_window)
        return;
    if (m_has_shape) {
        gtk_widget_realize(m_window);
        GdkWindow* window = gtk_widget_get_window(m_window);
        x11::set_bounding_shape(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window), m_shape);
    }
    gtk_widget_show_all(m_window);
}

void GtkStartWindow::minimise()
{
    if (m_window)
        gtk_window_iconify(GTK_WINDOW(m_window));
}

void GtkStartWindow::close()
{
    // The click that asks for this is still being handled inside WebKit's signal; the window
    // and its view go once that has returned.
    if (m_window && !m_close_source)
        m_close_source = g_idle_add(close_when_idle, this);
}

gboolean GtkStartWindow::close_when_idle(gpointer self)
{
    auto* window = static_cast<GtkStartWindow*>(self);
    window->m_close_source = 0;
    if (window->m_window)
        gtk_widget_destroy(window->m_window);
    return G_SOURCE_REMOVE;
}

void GtkStartWindow::on_destroy(GtkWidget*, gpointer self)
{
    auto* window = static_cast<GtkStartWindow*>(self);
    window->m_window = nullptr;
    window->m_view = nullptr;
    gtk_main_quit();
}

void GtkStartWindow::on_script_message(
    WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self)
{
    auto* window = static_cast<GtkStartWindow*>(self);
    JSCValue* message = webkit_javascript_result_get_js_value(result);
    if (!window->m_click_handler || !message || !jsc_value_is_object(message))
        return;
    FrameClick click;
    click.frame = read_property(message, "frame",
        [](JSCValue* v) { return v && jsc_value_is_number(v) ? jsc_value_to_int32(v) : -1; });
    bool has_element = read_property(
        message, "hasElement", [](JSCValue* v) { return v && jsc_value_to_boolean(v); });
    if (has_element)
        click.element_id = from_utf8(string_property(message, "id"));
    // The page has already applied the same answer; the handler runs the actions.
    (void)window->m_click_handler(click);
}

gboolean GtkStartWindow::on_load_failed(
    WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer)
{
    // A load replaced by the next one is no failure.
    if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
        return FALSE;
    std::fprintf(stderr, "lumbra: cannot load %s: %s\n", uri ? uri : "(no address)",
        error ? error->message : "unknown error");
    return FALSE; // WebKit shows its error page in the view.
}

void GtkStartWindow::on_web_process_terminated(
    WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer)
{
    std::fprintf(stderr, "lumbra: the page renderer ended unexpectedly (%s)\n",
        reason == WEBKIT_WEB_PROCESS_CRASHED ? "crashed" : "out of memory or ended");
}

} // namespace lumbra
