// bench-xtool: the X side of the end-to-end benchmarks, timed to the
// microsecond (xdotool's own waits poll every 500 ms, and starting xdotool
// per key costs milliseconds before its XTest call).
//   bench-xtool window PID SINCE [TIMEOUT [TITLE]]
//       polls every millisecond until a top-level window of process PID (and
//       with the title TITLE, if given) is mapped; prints "WINDOW SECONDS",
//       SECONDS counted from the wall-clock time SINCE (as $EPOCHREALTIME
//       gives it). Exit 1 on timeout.
//   bench-xtool keys INTERVAL[:MAX] COUNT KEYCODE...
//       COUNT key presses INTERVAL seconds apart through XTest (with MAX, a
//       random interval from INTERVAL to MAX each time), cycling through the
//       X keycodes; prints per press "BEFORE AFTER KEYCODE", the wall-clock
//       times around the press request and its round trip. Key-to-sound needs
//       the random interval: presses a whole number of audio periods apart
//       all meet the audio at the same phase, and hide its spread.

#include "Clock.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPollSeconds = 0.001;
constexpr double kReleaseAfterSeconds = 0.03;

[[noreturn]] void usage()
{
    std::fputs("usage: bench-xtool window PID SINCE [TIMEOUT [TITLE]] | keys INTERVAL[:MAX] COUNT KEYCODE...\n", stderr);
    std::exit(2);
}

// Windows come and go while we look: errors about vanished ones are expected.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

Display* openDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("bench-xtool: cannot open the display\n", stderr);
        std::exit(1);
    }
    XSetErrorHandler(ignoreErrors);
    return display;
}

std::optional<long> windowPid(Display* display, Window window, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<long> pid;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
            == Success
        && data && count == 1 && format == 32)
        pid = *reinterpret_cast<long*>(data);
    if (data)
        XFree(data);
    return pid;
}

bool hasTitle(Display* display, Window window, const std::string& title)
{
    if (title.empty())
        return true;
    char* name = nullptr;
    const bool same = XFetchName(display, window, &name) && name && title == name;
    if (name)
        XFree(name);
    return same;
}

std::optional<Window> mappedWindowOf(Display* display, long pid, Atom pidAtom, const std::string& title)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable
            && windowPid(display, children[i], pidAtom) == pid && hasTitle(display, children[i], title))
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

void sleepSeconds(double seconds)
{
    if (seconds <= 0)
        return;
    timespec ts{static_cast<time_t>(seconds), static_cast<long>(std::fmod(seconds, 1.0) * 1e9)};
    nanosleep(&ts, nullptr);
}

int waitWindow(long pid, double since, double timeout, const std::string& title)
{
    Display* display = openDisplay();
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    while (bench::wallSeconds() - since < timeout) {
        if (const auto window = mappedWindowOf(display, pid, pidAtom, title)) {
            const double now = bench::wallSeconds();
            std::printf("%lu %.4f\n", *window, now - since);
            return 0;
        }
        sleepSeconds(kPollSeconds);
    }
    std::fprintf(stderr, "bench-xtool: no window of process %ld after %.0f s\n", pid, timeout);
    return 1;
}

int pressKeys(double interval, double longest, int count, const std::vector<unsigned>& keycodes)
{
    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> pause(interval, std::max(interval, longest));
    Display* display = openDisplay();
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::fputs("bench-xtool: the X server has no XTest\n", stderr);
        return 1;
    }
    double next = bench::wallSeconds() + 0.05;
    for (int i = 0; i < count; ++i) {
        const unsigned keycode = keycodes[static_cast<std::size_t>(i) % keycodes.size()];
        sleepSeconds(next - bench::wallSeconds());
        next += pause(random);
        const double before = bench::wallSeconds();
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        XSync(display, False);
        const double after = bench::wallSeconds();
        sleepSeconds(std::min(kReleaseAfterSeconds, interval / 2));
        XTestFakeKeyEvent(display, keycode, False, CurrentTime);
        XSync(display, False);
        std::printf("%.6f %.6f %u\n", before, after, keycode);
    }
    std::fflush(stdout);
    XCloseDisplay(display);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        usage();
    const std::string command = argv[1];
    if (command == "window" && argc >= 4)
        return waitWindow(std::atol(argv[2]), std::atof(argv[3]), argc > 4 ? std::atof(argv[4]) : 20.0,
                          argc > 5 ? argv[5] : "");
    if (command == "keys" && argc >= 5) {
        std::vector<unsigned> keycodes;
        for (int i = 4; i < argc; ++i)
            keycodes.push_back(static_cast<unsigned>(std::atoi(argv[i])));
        const std::string interval = argv[2];
        const auto colon = interval.find(':');
        const double shortest = std::atof(interval.c_str());
        const double longest = colon == std::string::npos ? shortest : std::atof(interval.c_str() + colon + 1);
        return pressKeys(shortest, longest, std::atoi(argv[3]), keycodes);
    }
    usage();
}
