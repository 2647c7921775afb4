#include "platform/form/gtk_ui.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "platform/process/quit_signal.h"

namespace platform {

namespace {

// How often a modal GTK loop looks at the quit mark, in milliseconds.
constexpr guint signalPollMs = 100;

gboolean closeNoticeOnSignal(gpointer dialog) {
    if (!quitSignalPending()) return G_SOURCE_CONTINUE;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    return G_SOURCE_REMOVE;
}

// Lets GTK finish unmapping what was just destroyed, so it does not linger on screen.
void drainGtkEvents() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

}  // namespace

bool startGtk() {
    static const bool started = [] {
        // The show formats and parses numbers itself; a locale with a decimal comma must
        // not leak into it through GTK.
        gtk_disable_setlocale();
        return gtk_init_check(nullptr, nullptr) != FALSE;
    }();
    return started;
}

void showNotice(const char* text, const char* caption, MessageIcon icon) {
    const char* body = text != nullptr ? text : "";
    const char* title = caption != nullptr ? caption : "";
    if (!startGtk()) {
        std::fprintf(stderr, "%s: %s\n", title, body);
        std::fflush(stderr);
        return;
    }
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_MODAL,
        icon == MessageIcon::warning ? GTK_MESSAGE_WARNING : GTK_MESSAGE_ERROR, GTK_BUTTONS_OK,
        "%s", body);
    // GTK 3 leaves the message type's icon out; the notice shows it as the platform's did.
    const char* iconName = icon == MessageIcon::warning ? "dialog-warning" : "dialog-error";
    if (gtk_icon_theme_has_icon(gtk_icon_theme_get_default(), iconName)) {
        GtkWidget* image = gtk_image_new_from_icon_name(iconName, GTK_ICON_SIZE_DIALOG);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
        G_GNUC_END_IGNORE_DEPRECATIONS
        gtk_widget_show(image);
    }
    gtk_window_set_title(GTK_WINDOW(dialog), title);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    g_timeout_add(signalPollMs, closeNoticeOnSignal, dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    g_source_remove_by_user_data(dialog);  // quietly false when it already ended
    gtk_widget_destroy(dialog);
    drainGtkEvents();
}

}  // namespace platform
