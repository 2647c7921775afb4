/* window_grey WINDOW [WxH+X+Y...]: the mean grey level (0..255, Rec. 601 weights) of the
 * window's pixels on the X display named by DISPLAY, or of each rectangle of it, on one
 * line; WINDOW is an id or "root". Status 1 with the reason on standard error when no
 * picture can be taken (a window that is not mapped, a rectangle outside it).
 * A few milliseconds where ImageMagick's import takes a good part of a second, or
 * seconds on a loaded machine: the scripts that race the player's frames need that.
 * Built by player_lib.bash on first use: cc window_grey.c -lX11. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int reportError(Display* display, XErrorEvent* error) {
    char text[128];
    XGetErrorText(display, error->error_code, text, sizeof text);
    fprintf(stderr, "window_grey: %s\n", text);
    return 0;
}

/* The mean grey of the rectangle, or -1 when it cannot be read. */
static int meanGrey(Display* display, Window window, int x, int y, unsigned w, unsigned h) {
    XImage* image = XGetImage(display, window, x, y, w, h, AllPlanes, ZPixmap);
    if (image == NULL) return -1;
    const int rs = __builtin_ctzl(image->red_mask), gs = __builtin_ctzl(image->green_mask),
              bs = __builtin_ctzl(image->blue_mask);
    /* At most 8192 x 8192 pixels of 255 × 1000: far inside 64 bits. */
    unsigned long long sum = 0;
    for (int j = 0; j < image->height; ++j) {
        for (int i = 0; i < image->width; ++i) {
            const unsigned long p = XGetPixel(image, i, j);
            sum += 299 * ((p & image->red_mask) >> rs) + 587 * ((p & image->green_mask) >> gs) +
                   114 * ((p & image->blue_mask) >> bs);
        }
    }
    const unsigned long long n = (unsigned long long)image->width * (unsigned long long)image->height;
    XDestroyImage(image);
    return (int)(sum / (1000 * n));
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: window_grey WINDOW [WxH+X+Y...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "window_grey: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(reportError);
    const Window window = strcmp(argv[1], "root") == 0 ? DefaultRootWindow(display)
                                                       : (Window)strtoul(argv[1], NULL, 0);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 1;
    if (attributes.map_state != IsViewable) {
        fprintf(stderr, "window_grey: window %s is not viewable\n", argv[1]);
        return 1;
    }
    char line[4096] = "";
    size_t used = 0;
    /* No rectangle named: the whole window. */
    const int count = argc > 2 ? argc - 2 : 1;
    for (int k = 0; k < count; ++k) {
        const char* rectangle = argc > 2 ? argv[2 + k] : NULL;
        int x = 0, y = 0;
        unsigned w = (unsigned)attributes.width, h = (unsigned)attributes.height;
        if (rectangle != NULL && sscanf(rectangle, "%ux%u+%d+%d", &w, &h, &x, &y) != 4) {
            fprintf(stderr, "window_grey: '%s' is not WxH+X+Y\n", rectangle);
            return 2;
        }
        if (w == 0 || h == 0 || x < 0 || y < 0 || x + (int)w > attributes.width || y + (int)h > attributes.height) {
            fprintf(stderr, "window_grey: %ux%u+%d+%d is not inside the window's %dx%d\n", w, h, x, y,
                    attributes.width, attributes.height);
            return 1;
        }
        const int grey = meanGrey(display, window, x, y, w, h);
        if (grey < 0) return 1;
        used += (size_t)snprintf(line + used, sizeof line - used, used == 0 ? "%d" : " %d", grey);
        if (used >= sizeof line) return 2;
    }
    puts(line);
    XCloseDisplay(display);
    return 0;
}
