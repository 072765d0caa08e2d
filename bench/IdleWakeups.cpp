// How often Tandrel wakes up while it sits on screen doing nothing, next to a minimal Qt
// Widgets window in the same run, on the X server named by DISPLAY (run it inside
// scripts/with-display --no-wm and dbus-run-session, as bench_sidebar_startup):
//   bench_idle_wakeups <tandrel> <minimal window> [seconds]
// Both programs are started together; once both have mapped their window, and after a
// settling time that covers start-up work, a text caret's blinking (it stops after 10 s
// without input) and Qt's pixmap cache trimming itself once, 30 s after the first icons
// were drawn (the minimal window draws none), the context switches of all threads of each are counted over `seconds`
// (60 by default), sampled once a second. Tandrel runs with private data and runtime folders.
#include "PrivateDesktopFolders.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSettleSeconds = 40;

// Voluntary and involuntary context switches of each thread of the process, by thread id;
// nothing once the process is gone.
std::map<std::string, long> contextSwitches(pid_t pid)
{
    std::map<std::string, long> threads;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return threads;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream status(tasks + "/" + entry->d_name + "/status");
        std::string line;
        long total = 0;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0
                || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::atol(line.c_str() + line.find(':') + 1);
        }
        threads[entry->d_name] = total;
    }
    closedir(dir);
    return threads;
}

// Adds up the switches of a process over time. Threads come and go (a thread pool lets
// idle workers end), so each thread's increase is added once a second, and a thread that
// appears counts from zero.
struct SwitchCount {
    pid_t pid;
    std::map<std::string, long> last;
    long total = 0;

    bool sample()
    {
        std::map<std::string, long> now = contextSwitches(pid);
        if (now.empty())
            return false;
        for (const auto& [thread, count] : now) {
            const auto it = last.find(thread);
            total += count - (it == last.end() ? 0 : it->second);
        }
        last = std::move(now);
        return true;
    }
};

pid_t start(const char* program)
{
    pid_t pid = 0;
    char* argv[] = { const_cast<char*>(program), nullptr };
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return 0;
    return pid;
}

// The process that owns a window, as Qt records it in _NET_WM_PID.
pid_t windowPid(xcb_connection_t* c, xcb_window_t window)
{
    static const char name[] = "_NET_WM_PID";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof(name) - 1, name), nullptr), &std::free);
    if (!atom)
        return 0;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
        xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (!property || xcb_get_property_value_length(property.get()) < 4)
        return 0;
    return pid_t(*static_cast<uint32_t*>(xcb_get_property_value(property.get())));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <tandrel> <minimal window> [seconds]\n", argv[0]);
        return 2;
    }
    const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 60;
    const auto folders = usePrivateDesktopFolders();
    if (!folders)
        return 1;
    const std::string& base = *folders;
    xcb_connection_t* c = connectToDisplay();
    if (!c)
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const pid_t tandrel = start(argv[1]);
    const pid_t minimal = start(argv[2]);
    int status = 0;
    if (!tandrel || !minimal) {
        std::fprintf(stderr, "cannot start the programs\n");
        return 1;
    }
    std::set<pid_t> shown;
    const auto begun = Clock::now();
    while (shown.size() < 2 && Clock::now() - begun < std::chrono::seconds(30)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(c), &std::free);
        if (!event) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
            continue;
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event.get());
        const pid_t owner = windowPid(c, map->window);
        if (!map->override_redirect && (owner == tandrel || owner == minimal))
            shown.insert(owner);
    }
    xcb_disconnect(c);

    long tandrelSwitches = -1;
    long minimalSwitches = -1;
    if (shown.size() == 2) {
        std::this_thread::sleep_for(std::chrono::seconds(kSettleSeconds));
        SwitchCount tandrelCount { tandrel, {}, 0 };
        SwitchCount minimalCount { minimal, {}, 0 };
        bool running = tandrelCount.sample() && minimalCount.sample();
        tandrelCount.total = minimalCount.total = 0;
        for (int second = 0; running && second < seconds; ++second) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            running = tandrelCount.sample() && minimalCount.sample();
        }
        if (running) {
            tandrelSwitches = tandrelCount.total;
            minimalSwitches = minimalCount.total;
        }
    } else {
        std::fprintf(stderr, "the windows were not both shown\n");
    }
    for (const pid_t pid : { tandrel, minimal }) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "%s ended early: status %d\n", pid == tandrel ? argv[1] : argv[2], status);
            continue;
        }
        kill(pid, SIGTERM);
        waitpid(pid, &status, 0);
    }
    std::system(("rm -rf '" + base + "'").c_str());
    if (tandrelSwitches < 0 || minimalSwitches < 0) {
        std::fprintf(stderr, "a program ended before the count was over\n");
        return 1;
    }
    std::printf("context switches of all threads over %d s, idle and shown:\n", seconds);
    std::printf("%-16s %10ld\n", "Tandrel", tandrelSwitches);
    std::printf("%-16s %10ld\n", "minimal window", minimalSwitches);
    std::printf("difference: %ld (target: at most %d, the weekly line's refresh)\n",
        tandrelSwitches - minimalSwitches, std::max(1, seconds / 60));
    return 0;
}
