// plinkora-x11probe: what the end-to-end scripts need to know of the X server
// that xdotool and xprop do not tell: the colours a window shows, and the
// keyboard's auto-repeat and NumLock state. Plain Xlib, so no extra package.

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: plinkora-x11probe COMMAND ARGS...\n"
    "  mean WINDOW X Y W H...     per rectangle (window coordinates): mean red green blue\n"
    "  ppm WINDOW FILE            the window's image as a binary PPM\n"
    "  autorepeat [on|off]        set, then print, the global auto-repeat state\n"
    "  numlock                    print whether NumLock is locked\n"
    "WINDOW is an X window id, decimal or 0x hex. Exit 2 on usage errors, 1 on X errors.\n";

[[noreturn]] void usage(const std::string& why)
{
    std::fprintf(stderr, "plinkora-x11probe: %s\n%s", why.c_str(), kUsage);
    std::exit(2);
}

[[noreturn]] void fail(const std::string& why)
{
    std::fprintf(stderr, "plinkora-x11probe: %s\n", why.c_str());
    std::exit(1);
}

long number(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 0);
    if (*text == '\0' || *end != '\0')
        usage(std::string("not a number: ") + text);
    return value;
}

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct ImageDestroyer {
    void operator()(XImage* image) const { XDestroyImage(image); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDestroyer>;

struct Rgb {
    int red, green, blue;
};

// The window's whole image, with the masks to read its pixels.
struct WindowImage {
    ImagePtr image;
    int width = 0, height = 0;

    Rgb at(int x, int y) const
    {
        const unsigned long pixel = XGetPixel(image.get(), x, y);
        return {channel(pixel, image->red_mask), channel(pixel, image->green_mask), channel(pixel, image->blue_mask)};
    }

private:
    static int channel(unsigned long pixel, unsigned long mask)
    {
        if (mask == 0)
            return 0;
        unsigned long shifted = mask;
        int shift = 0;
        while ((shifted & 1UL) == 0) {
            shifted >>= 1;
            ++shift;
        }
        return static_cast<int>(((pixel & mask) >> shift) * 255 / shifted);
    }
};

WindowImage grab(Display* display, const char* windowText)
{
    const auto window = static_cast<Window>(number(windowText));
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        fail(std::string("no window ") + windowText);
    if (attributes.map_state != IsViewable)
        fail(std::string("window not viewable: ") + windowText);
    WindowImage result{ImagePtr(XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                                          static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap)),
                       attributes.width, attributes.height};
    if (!result.image)
        fail("XGetImage failed");
    return result;
}

int mean(Display* display, const std::vector<const char*>& args)
{
    if (args.size() < 5 || (args.size() - 1) % 4 != 0)
        usage("mean needs WINDOW and one or more X Y W H");
    const WindowImage window = grab(display, args[0]);
    for (std::size_t i = 1; i < args.size(); i += 4) {
        const long x0 = number(args[i]), y0 = number(args[i + 1]), w = number(args[i + 2]), h = number(args[i + 3]);
        if (w < 1 || h < 1 || x0 < 0 || y0 < 0 || x0 + w > window.width || y0 + h > window.height)
            usage("rectangle outside the window");
        long red = 0, green = 0, blue = 0;
        for (long y = y0; y < y0 + h; ++y) {
            for (long x = x0; x < x0 + w; ++x) {
                const Rgb c = window.at(static_cast<int>(x), static_cast<int>(y));
                red += c.red, green += c.green, blue += c.blue;
            }
        }
        const long n = w * h;
        std::printf("%ld %ld %ld\n", red / n, green / n, blue / n);
    }
    return 0;
}

int ppm(Display* display, const std::vector<const char*>& args)
{
    if (args.size() != 2)
        usage("ppm needs WINDOW FILE");
    const WindowImage window = grab(display, args[0]);
    std::FILE* out = std::fopen(args[1], "wb");
    if (!out)
        fail(std::string("cannot write ") + args[1]);
    std::fprintf(out, "P6\n%d %d\n255\n", window.width, window.height);
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            const Rgb c = window.at(x, y);
            const unsigned char bytes[] = {static_cast<unsigned char>(c.red), static_cast<unsigned char>(c.green),
                                           static_cast<unsigned char>(c.blue)};
            std::fwrite(bytes, 1, sizeof bytes, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

int autorepeat(Display* display, const std::vector<const char*>& args)
{
    if (args.size() > 1)
        usage("autorepeat takes at most one of on, off");
    if (args.size() == 1) {
        const std::string state = args[0];
        if (state == "on")
            XAutoRepeatOn(display);
        else if (state == "off")
            XAutoRepeatOff(display);
        else
            usage("autorepeat takes on or off");
        XSync(display, False);
    }
    XKeyboardState keyboard{};
    XGetKeyboardControl(display, &keyboard);
    std::printf("%s\n", keyboard.global_auto_repeat == AutoRepeatModeOn ? "on" : "off");
    return 0;
}

int numlock(Display* display, const std::vector<const char*>& args)
{
    if (!args.empty())
        usage("numlock takes no arguments");
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        fail("XkbGetState failed");
    const unsigned mask = XkbKeysymToModifiers(display, XK_Num_Lock);
    std::printf("%s\n", mask != 0 && (state.locked_mods & mask) == mask ? "on" : "off");
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        usage("missing command");
    const std::string command = argv[1];
    const std::vector<const char*> args(argv + 2, argv + argc);
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display)
        fail("cannot open the display");
    using Command = int (*)(Display*, const std::vector<const char*>&);
    const std::map<std::string, Command> commands = {
        {"mean", mean}, {"ppm", ppm}, {"autorepeat", autorepeat}, {"numlock", numlock}};
    if (const auto found = commands.find(command); found != commands.end())
        return found->second(display.get(), args);
    usage("unknown command " + command);
}
