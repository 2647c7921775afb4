/* window_grey WINDOW: the mean grey level (0..255) of the window's pixels on the X
 * display named by DISPLAY, followed by the mean red, green and blue; status 1 with the
 * reason on standard error when no picture can be taken (a window that is not mapped,
 * say). A few milliseconds where ImageMagick's import takes a good part of a second, or
 * seconds on a loaded machine: the scripts that race the player's frames need that.
 * Built by the e2e scripts that use it: cc window_grey.c -lX11. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

static int quietError(Display* display, XErrorEvent* error) {
    char text[128];
    XGetErrorText(display, error->error_code, text, sizeof text);
    fprintf(stderr, "window_grey: %s\n", text);
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: window_grey WINDOW\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "window_grey: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(quietError);
    const Window window = (Window)strtoul(argv[1], NULL, 0);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return 1;
    if (attributes.map_state != IsViewable) {
        fprintf(stderr, "window_grey: window %s is not viewable\n", argv[1]);
        return 1;
    }
    XImage* image = XGetImage(display, window, 0, 0, (unsigned)attributes.width, (unsigned)attributes.height,
                              AllPlanes, ZPixmap);
    if (image == NULL) return 1;
    /* Sums of at most 4096 x 4096 pixels of 255 fit easily in 64 bits. */
    unsigned long long red = 0, green = 0, blue = 0;
    const int rs = __builtin_ctzl(image->red_mask), gs = __builtin_ctzl(image->green_mask),
              bs = __builtin_ctzl(image->blue_mask);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            red += (p & image->red_mask) >> rs;
            green += (p & image->green_mask) >> gs;
            blue += (p & image->blue_mask) >> bs;
        }
    }
    const unsigned long long n = (unsigned long long)image->width * (unsigned long long)image->height;
    const unsigned r = (unsigned)(red / n), g = (unsigned)(green / n), b = (unsigned)(blue / n);
    /* Rec. 601 weights, as a grey conversion of the picture would use. */
    printf("%u %u %u %u\n", (unsigned)((299 * red + 587 * green + 114 * blue) / (1000 * n)), r, g, b);
    XDestroyImage(image);
    XCloseDisplay(display);
    return 0;
}
