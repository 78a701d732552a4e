#pragma once

#include "launcher/Platform.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace lumbra {

// The launcher window: a frameless GTK window, shaped through the X SHAPE extension, whose
// only child is a WebKitGTK view that always fills it. Page events arrive through the page
// script's message handler. Destroying the window ends GTK's main loop. Main thread only.
class GtkStartWindow final : public StartWindowView {
public:
    GtkStartWindow();
    ~GtkStartWindow() override;

    GtkStartWindow(const GtkStartWindow&) = delete;
    GtkStartWindow& operator=(const GtkStartWindow&) = delete;

    void set_click_handler(ClickHandler handler) override;
    void set_caption(const std::u16string& caption) override;
    void set_view_tooltip(const std::u16string& text) override;
    void remove_frame_and_move_to_origin() override;
    void set_size(int width, int height) override;
    void set_shape(const WindowShape& shape) override;
    void set_instance_property(const std::string& name) override;
    void load(const std::string& uri) override;
    void show() override;
    void minimise() override;
    void close() override;

private:
    static void on_script_message(
        WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static gboolean on_load_failed(
        WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer);
    static void on_web_process_terminated(
        WebKitWebView*, WebKitWebProcessTerminationReason, gpointer);
    static void on_destroy(GtkWidget*, gpointer self);
    static gboolean close_when_idle(gpointer self);

    GtkWidget* m_window { nullptr }; // Ours until destroyed; null afterwards.
    WebKitWebView* m_view { nullptr }; // Owned by m_window.
    WebKitUserContentManager* m_content { nullptr }; // One reference held.
    ClickHandler m_click_handler;
    WindowShape m_shape;
    bool m_has_shape { false };
    guint m_close_source { 0 };
};

} // namespace lumbra
