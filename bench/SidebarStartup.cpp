// Start-up figures of Tandrel next to a minimal Qt Widgets window, on the X server named
// by DISPLAY (run it inside scripts/with-display --no-wm, so top-level windows are
// children of the root window, and inside dbus-run-session: a desktop has a session bus,
// and without one every program that uses it first tries to start one):
//   bench_sidebar_startup <tandrel> <minimal window> [runs]
// For each program: the time from starting it to its first window being mapped and then
// painted (the window's area on screen changes from what was there before), to its whole
// content being painted (the last time more than a caret's worth of the window changed,
// watched for three seconds after the first paint), and its resident memory then.
// Medians over the runs, after one warm-up run of each; the two programs run by turns.
// Tandrel runs with private data and runtime folders.
#include "PrivateDesktopFolders.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double mappedMs = 0;
    double paintedMs = 0;
    double contentMs = 0;
    long rssKiB = 0;
};

// Every fourth pixel of every fourth row of the window, as it is on screen now.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

std::vector<uint8_t> grab(
    xcb_connection_t* c, xcb_window_t root, int16_t x, int16_t y, uint16_t w, uint16_t h)
{
    Reply<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x, y, w, h, ~0u), nullptr),
        &std::free);
    if (!reply)
        return {};
    const uint8_t* data = xcb_get_image_data(reply.get());
    return { data, data + xcb_get_image_data_length(reply.get()) };
}

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

std::optional<Frame> frameOf(xcb_connection_t* c, xcb_window_t root, xcb_window_t window)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
    if (!geometry)
        return std::nullopt;
    const int x = std::max<int>(geometry->x, 0);
    const int y = std::max<int>(geometry->y, 0);
    const int w = std::min<int>(geometry->width, screen->width_in_pixels - x);
    const int h = std::min<int>(geometry->height, screen->height_in_pixels - y);
    if (w <= 0 || h <= 0)
        return std::nullopt;
    const std::vector<uint8_t> image = grab(c, root, int16_t(x), int16_t(y), uint16_t(w), uint16_t(h));
    if (image.size() < size_t(w) * size_t(h) * 4)
        return std::nullopt;
    Frame frame { w, h, {} };
    for (int row = 0; row < h; row += 4) {
        for (int column = 0; column < w; column += 4) {
            uint32_t pixel = 0;
            std::memcpy(&pixel, &image[(size_t(row) * w + column) * 4], 3);
            frame.pixels.push_back(pixel);
        }
    }
    return frame;
}

// More than a blinking caret's worth of the window differs.
bool differs(const Frame& a, const Frame& b)
{
    if (a.width != b.width || a.height != b.height)
        return true;
    size_t changed = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        changed += a.pixels[i] != b.pixels[i];
    return changed * 200 > a.pixels.size();
}

std::optional<Figures> measure(xcb_connection_t* c, xcb_window_t root, const char* program)
{
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const std::vector<uint8_t> before
        = grab(c, root, 0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const auto start = Clock::now();
    pid_t pid = 0;
    char* argv[] = { const_cast<char*>(program), nullptr };
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", program);
        return std::nullopt;
    }

    Figures figures;
    xcb_window_t window = XCB_NONE;
    while (window == XCB_NONE) {
        Reply<xcb_generic_event_t> event(xcb_poll_for_event(c), &std::free);
        if (!event) {
            if (Clock::now() - start > std::chrono::seconds(30))
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
            if (!map->override_redirect)
                window = map->window;
        }
    }
    if (window != XCB_NONE) {
        figures.mappedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        while (Clock::now() - start < std::chrono::seconds(30)) {
            // The program may still move or resize its window: read where it is each time.
            Reply<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr), &std::free);
            if (!geometry)
                break;
            const int x = std::max<int>(geometry->x, 0);
            const int y = std::max<int>(geometry->y, 0);
            const int w = std::min<int>(geometry->width, screen->width_in_pixels - x);
            const int h = std::min<int>(geometry->height, screen->height_in_pixels - y);
            const std::vector<uint8_t> now = w > 0 && h > 0
                ? grab(c, root, int16_t(x), int16_t(y), uint16_t(w), uint16_t(h))
                : std::vector<uint8_t>();
            if (now.size() < size_t(w) * size_t(h) * 4) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            // Painted once most of the window's pixels differ from what the screen showed.
            size_t changed = 0;
            const size_t stride = size_t(screen->width_in_pixels) * 4;
            for (int row = 0; row < h; row += 4) {
                for (int column = 0; column < w; column += 4) {
                    const uint8_t* a = &now[(size_t(row) * w + column) * 4];
                    const uint8_t* b = &before[(size_t(y + row) * stride) + size_t(x + column) * 4];
                    changed += std::memcmp(a, b, 3) != 0;
                }
            }
            const size_t sampled = size_t((h + 3) / 4) * size_t((w + 3) / 4);
            if (changed * 2 > sampled) {
                figures.paintedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    const uint32_t none = 0;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &none);
    xcb_flush(c);
    while (Reply<xcb_generic_event_t>(xcb_poll_for_event(c), &std::free)) { }

    figures.contentMs = figures.paintedMs;
    if (figures.paintedMs > 0) {
        const auto watchUntil = start + std::chrono::duration<double, std::milli>(figures.paintedMs + 3000);
        std::optional<Frame> previous = frameOf(c, root, window);
        while (Clock::now() < watchUntil) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::optional<Frame> now = frameOf(c, root, window);
            if (!now)
                continue;
            if (!previous || differs(*previous, *now))
                figures.contentMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            previous = std::move(now);
        }
    }
    figures.rssKiB = residentKiB(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (window == XCB_NONE || figures.paintedMs == 0) {
        std::fprintf(stderr, "%s: no window was mapped and painted\n", program);
        return std::nullopt;
    }
    return figures;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Samples {
    std::vector<double> mapped, painted, content, rss;

    void add(const Figures& figures)
    {
        mapped.push_back(figures.mappedMs);
        painted.push_back(figures.paintedMs);
        content.push_back(figures.contentMs);
        rss.push_back(double(figures.rssKiB));
    }
    Figures medians() const
    {
        return { median(mapped), median(painted), median(content), long(median(rss)) };
    }
};

// The two programs take turns, so that whatever else the machine is doing meanwhile
// weighs on both alike; which of them starts a round alternates too, so that neither
// always follows the other.
std::optional<std::pair<Figures, Figures>> series(
    xcb_connection_t* c, xcb_window_t root, const char* first, const char* second, int runs)
{
    if (!measure(c, root, first) || !measure(c, root, second))
        return std::nullopt;
    Samples a, b;
    for (int i = 0; i < runs; ++i) {
        const bool firstLeads = i % 2 == 0;
        const auto lead = measure(c, root, firstLeads ? first : second);
        const auto follow = measure(c, root, firstLeads ? second : first);
        if (!lead || !follow)
            return std::nullopt;
        a.add(firstLeads ? *lead : *follow);
        b.add(firstLeads ? *follow : *lead);
    }
    return std::pair(a.medians(), b.medians());
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <tandrel> <minimal window> [runs]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 21;
    const auto folders = usePrivateDesktopFolders();
    if (!folders)
        return 1;
    const std::string& base = *folders;
    xcb_connection_t* c = connectToDisplay();
    if (!c)
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const auto figures = series(c, root, argv[1], argv[2], runs);
    xcb_disconnect(c);
    std::system(("rm -rf '" + base + "'").c_str());
    if (!figures)
        return 1;
    const Figures* tandrel = &figures->first;
    const Figures* minimal = &figures->second;

    std::printf("%-16s %12s %12s %12s %12s\n", "program", "mapped ms", "painted ms", "content ms", "RSS MiB");
    for (const auto& [name, f] : { std::pair("Tandrel", tandrel), std::pair("minimal window", minimal) })
        std::printf("%-16s %12.1f %12.1f %12.1f %12.1f\n", name, f->mappedMs, f->paintedMs, f->contentMs,
            f->rssKiB / 1024.0);
    std::printf("first paint %.2fx the minimal window's (target 1.5x); whole content %.2fx its first paint "
                "(target 2.5x); memory %.2fx (target 2.5x)\n",
        tandrel->paintedMs / minimal->paintedMs, tandrel->contentMs / minimal->paintedMs,
        double(tandrel->rssKiB) / double(minimal->rssKiB));
    return 0;
}
