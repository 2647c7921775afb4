/* saver_state: the X server's own screen saver, as XScreenSaverQueryInfo reports it,
 * on the display named by DISPLAY: "on", "off" or "disabled" (no timeout set), then
 * the milliseconds since the last input, on one line. A client that suspends the saver
 * leaves it "off" however long the idle time. Status 1 with the reason on standard
 * error when the display or its MIT-SCREEN-SAVER extension cannot be reached.
 * Built by player_lib.bash on first use: cc saver_state.c -lXss -lX11. */
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <stdio.h>

int main(void) {
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "saver_state: cannot open the display\n");
        return 1;
    }
    int event = 0, error = 0;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!XScreenSaverQueryExtension(display, &event, &error) || info == NULL ||
        !XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) {
        fprintf(stderr, "saver_state: the display has no MIT-SCREEN-SAVER extension\n");
        return 1;
    }
    const char* state = info->state == ScreenSaverOn ? "on" : info->state == ScreenSaverOff ? "off" : "disabled";
    printf("%s %lu\n", state, info->idle);
    XFree(info);
    XCloseDisplay(display);
    return 0;
}
