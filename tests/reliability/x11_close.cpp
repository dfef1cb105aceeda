// Closes a window the way a window manager's close button does: a
// WM_DELETE_WINDOW client message. Refuses (status 2) when the window does not
// take part in that protocol, since a window manager would then kill the
// client's connection instead. No window manager runs under Xvfb, so the
// end-to-end tests send it themselves. With --destroy it destroys the window
// outright instead, as some window managers and tools do.
//   x11_close [--destroy] WINDOW-ID

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool speaksDeleteWindow(Display* display, Window window, Atom deleteWindow)
{
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(display, window, &protocols, &count))
        return false;
    bool found = false;
    for (int i = 0; i < count; ++i)
        found = found || protocols[i] == deleteWindow;
    XFree(protocols);
    return found;
}

// Another client's XDestroyWindow: the owner learns of it only from the
// DestroyNotify event.
int destroy(Display* display, Window window)
{
    XDestroyWindow(display, window);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    const bool destroying = argc == 3 && std::strcmp(argv[1], "--destroy") == 0;
    if (argc != 2 && !destroying) {
        std::fprintf(stderr, "usage: x11_close [--destroy] WINDOW-ID\n");
        return 2;
    }
    const Window window = std::strtoul(argv[argc - 1], nullptr, 0);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11_close: cannot open the display\n");
        return 1;
    }
    if (destroying)
        return destroy(display, window);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (!speaksDeleteWindow(display, window, deleteWindow)) {
        std::fprintf(stderr, "x11_close: window 0x%lx does not take WM_DELETE_WINDOW\n", window);
        XCloseDisplay(display);
        return 2;
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}
