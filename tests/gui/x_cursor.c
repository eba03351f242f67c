/* Prints the X server's current cursor as "HOTX,HOTY,WxH,CHECKSUM": how the GUI
 * tests tell the hand from the arrow (Wine does not share cursor handles across
 * processes, so a Windows-side probe cannot see another program's cursor). */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <stdio.h>

int main(void) {
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        return 1;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == NULL) {
        XCloseDisplay(display);
        return 1;
    }
    unsigned long sum = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
        sum = sum * 31u + (unsigned long)image->pixels[i];
    }
    printf("%d,%d,%dx%d,%lx\n", image->xhot, image->yhot, image->width, image->height, sum);
    XFree(image);
    XCloseDisplay(display);
    return 0;
}
