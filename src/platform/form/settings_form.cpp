#include "platform/form/settings_form.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <cstring>

#include "platform/process/quit_signal.h"
#include "platform/form/dialog_ids.h"
#include "platform/form/form_apart.h"
#include "platform/form/gtk_ui.h"
#include "platform/form/settings_picture.h"

namespace platform {

namespace {

constexpr guint signalPollMs = 100;
constexpr std::uintptr_t buttonClicked = 0;  // notification code of a click

// The controls that carry an id, in template order (the tab order).
struct ControlId {
    const char* name;
    int id;
};
constexpr ControlId controlIds[] = {
    {"ok", IDOK}, {"fullscreen", idFullscreen}, {"size640", idSize640}, {"size800", idSize800},
    {"size1024", idSize1024}, {"depth16", idDepth16}, {"depth32", idDepth32}, {"music", idMusic},
};

// Sized for the dialog units of the template, not for the desktop theme's own font.
constexpr const char* formStyle = R"CSS(
#settings-form { font-family: Sans; font-size: 8pt; }
#settings-form radiobutton, #settings-form checkbutton { padding: 0; min-height: 0; }
#settings-form radiobutton radio, #settings-form checkbutton check {
  min-width: 12px; min-height: 12px; margin: 0 4px 0 0; }
#settings-form button { padding: 0 6px; min-height: 0; }
)CSS";

class GtkForm final : public DialogForm {
public:
    GtkForm(GtkBuilder* builder, DialogProc proc, std::intptr_t param)
        : builder_(builder), proc_(proc), param_(param) {}

    GtkWindow* window() const { return GTK_WINDOW(gtk_builder_get_object(builder_, "form")); }

    GtkWidget* control(int id) const {
        for (const ControlId& c : controlIds) {
            if (c.id == id) return GTK_WIDGET(gtk_builder_get_object(builder_, c.name));
        }
        return nullptr;
    }

    void checkDlgButton(int id, bool checked) override {
        GtkWidget* w = control(id);
        if (w == nullptr || !GTK_IS_TOGGLE_BUTTON(w)) return;
        setQuietly(GTK_TOGGLE_BUTTON(w), checked);
    }

    void checkRadioButton(int first, int last, int id) override {
        for (int other = first; other <= last; ++other) {
            GtkWidget* w = control(other);
            // A radio button goes off only when another of its group goes on.
            if (w != nullptr && other != id && !GTK_IS_RADIO_BUTTON(w) && GTK_IS_TOGGLE_BUTTON(w)) {
                setQuietly(GTK_TOGGLE_BUTTON(w), false);
            }
        }
        if (id >= first && id <= last) checkDlgButton(id, true);
    }

    bool isDlgButtonChecked(int id) const override {
        GtkWidget* w = control(id);
        return w != nullptr && GTK_IS_TOGGLE_BUTTON(w) && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w));
    }

    void endDialog(std::intptr_t result) override {
        if (ended_) return;
        ended_ = true;
        result_ = result;
        if (loop_ != nullptr) g_main_loop_quit(loop_);
    }

    // One command for the procedure: the id in the low 16 bits, the event above.
    void command(int id, std::uintptr_t event = buttonClicked) {
        if (quiet_ || ended_) return;
        const std::uintptr_t wParam = (event << 16) | (static_cast<std::uintptr_t>(id) & 0xFFFFu);
        proc_(*this, DialogMessage::command, wParam, 0);
    }

    bool init() { return proc_(*this, DialogMessage::initDialog, 0, param_); }

    void abort() {
        if (ended_) return;
        ended_ = true;
        result_ = -1;
        if (loop_ != nullptr) g_main_loop_quit(loop_);
    }

    bool ended() const { return ended_; }
    std::intptr_t result() const { return result_; }
    void setLoop(GMainLoop* loop) { loop_ = loop; }

private:
    // Marks set by the procedure are not clicks: no command comes back for them.
    void setQuietly(GtkToggleButton* button, bool on) {
        quiet_ = true;
        gtk_toggle_button_set_active(button, on ? TRUE : FALSE);
        quiet_ = false;
    }

    GtkBuilder* builder_;
    DialogProc proc_;
    std::intptr_t param_;
    GMainLoop* loop_ = nullptr;
    bool ended_ = false;
    bool quiet_ = false;
    std::intptr_t result_ = -1;
};

struct Clicked {
    GtkForm* form;
    int id;
};

void onClicked(GtkButton* button, gpointer data) {
    auto* clicked = static_cast<Clicked*>(data);
    // A radio button that a click in its group turned off sends nothing.
    if (GTK_IS_RADIO_BUTTON(button) && !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button))) return;
    clicked->form->command(clicked->id);
}

gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* form = static_cast<GtkForm*>(data);
    switch (event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            form->command(IDOK);  // the default button, wherever the focus is
            return TRUE;
        case GDK_KEY_Escape:
            form->command(IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkForm*>(data)->command(IDCANCEL);
    return TRUE;  // the form stays until its procedure ends it
}

gboolean onSignalPoll(gpointer data) {
    if (!quitSignalPending()) return G_SOURCE_CONTINUE;
    static_cast<GtkForm*>(data)->abort();
    return G_SOURCE_REMOVE;
}

void freePixels(guchar* pixels, gpointer) { g_free(pixels); }

GdkPixbuf* makePicture() {
    const std::vector<std::uint8_t> rgb = paintSettingsPicture(settingsPictureWidth, settingsPictureHeight);
    if (rgb.empty()) return nullptr;
    auto* pixels = static_cast<guchar*>(g_malloc(rgb.size()));
    std::memcpy(pixels, rgb.data(), rgb.size());
    return gdk_pixbuf_new_from_data(pixels, GDK_COLORSPACE_RGB, FALSE, 8, settingsPictureWidth,
                                    settingsPictureHeight, settingsPictureWidth * 3, freePixels, nullptr);
}

void applyStyle(GtkWindow* window) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, formStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_window_get_screen(window), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

void setTabOrder(GtkForm& form, GtkBuilder* builder) {
    GList* chain = nullptr;
    for (const ControlId& c : controlIds) chain = g_list_append(chain, form.control(c.id));
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(gtk_builder_get_object(builder, "controls")), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);
}

// Shown from a child process, the form names the player as its owner process, so the
// desktop (and whoever looks for the player's windows) finds it as the player's.
void nameOwner(GtkWindow* window) {
    const int owner = formOwnerProcess();
    GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
    if (owner <= 0 || gdkWindow == nullptr) return;
    const gulong pid = static_cast<gulong>(owner);
    gdk_property_change(gdkWindow, gdk_atom_intern_static_string("_NET_WM_PID"),
                        gdk_atom_intern_static_string("CARDINAL"), 32, GDK_PROP_MODE_REPLACE,
                        reinterpret_cast<const guchar*>(&pid), 1);
}

}  // namespace

std::intptr_t runSettingsForm(int templateId, DialogProc proc, std::intptr_t param) {
    if (templateId != settingsTemplateId || proc == nullptr || !startGtk()) return -1;
    GError* error = nullptr;
    GtkBuilder* builder = gtk_builder_new();
    if (gtk_builder_add_from_string(builder, settingsFormDefinition, -1, &error) == 0) {
        g_printerr("settings form: %s\n", error != nullptr ? error->message : "bad definition");
        if (error != nullptr) g_error_free(error);
        g_object_unref(builder);
        return -1;
    }

    GtkForm form(builder, proc, param);
    GtkWindow* window = form.window();
    applyStyle(window);
    gtk_window_set_keep_above(window, TRUE);
    if (GdkPixbuf* picture = makePicture()) {
        gtk_image_set_from_pixbuf(GTK_IMAGE(gtk_builder_get_object(builder, "picture")), picture);
        g_object_unref(picture);
    }
    setTabOrder(form, builder);

    Clicked clicks[sizeof controlIds / sizeof controlIds[0]];
    std::size_t n = 0;
    for (const ControlId& c : controlIds) {
        clicks[n] = Clicked{&form, c.id};
        g_signal_connect(form.control(c.id), "clicked", G_CALLBACK(onClicked), &clicks[n]);
        ++n;
    }
    g_signal_connect(window, "key-press-event", G_CALLBACK(onKeyPress), &form);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), &form);

    const bool focusFirst = form.init();
    if (!form.ended()) {
        gtk_widget_show_all(GTK_WIDGET(window));
        nameOwner(window);
        gtk_window_present(window);
        // Without the procedure's word no control has the focus: the first Tab
        // reaches the first control of the tab order.
        if (focusFirst) {
            gtk_widget_grab_focus(form.control(IDOK));
        } else {
            gtk_window_set_focus(window, nullptr);
        }
        GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
        form.setLoop(loop);
        g_timeout_add(signalPollMs, onSignalPoll, &form);
        if (!form.ended()) g_main_loop_run(loop);
        form.setLoop(nullptr);
        g_source_remove_by_user_data(&form);  // quietly false when the poll already ended
        g_main_loop_unref(loop);
    }

    gtk_widget_destroy(GTK_WIDGET(window));
    g_object_unref(builder);
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    return form.result();
}

}  // namespace platform
