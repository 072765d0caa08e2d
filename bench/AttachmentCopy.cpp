// How long the main thread goes without an event-loop turn while a large dropped file is
// copied through the store (target: under 50 ms), next to the same figure measured with
// nothing to copy for as long as the copy took. The window is shown, so the copy's progress
// is painted as it would be. Other processes' load shows in both figures: it is printed.
//   ./build/release/bench/bench_attachment_copy [megabytes, default 1024]

#include "platform/notifications/NotificationService.h"
#include "platform/preferences/Preferences.h"
#include "platform/storage/StorageLocations.h"
#include "workspace/ContentView.h"
#include "workspace/WorkspaceStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Gaps {
    double longest = 0;
    double p99 = 0;
    size_t turns = 0;
    size_t over50 = 0;
};

// Turns the event loop until `done` holds (or for `duration` ms), timing every turn.
template <class Done> Gaps measureTurns(Done done, qint64 duration = -1)
{
    std::vector<double> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    QEventLoop loop;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back((now - last) / 1e6);
        last = now;
        if (done() || (duration >= 0 && clock.elapsed() >= duration))
            loop.quit();
    });
    turn.start();
    loop.exec();
    std::sort(gaps.begin(), gaps.end());
    if (gaps.empty())
        return {};
    const auto over50 = size_t(gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), 50.0));
    return { gaps.back(), gaps.at(std::min(gaps.size() - 1, size_t(gaps.size() * 0.99))), gaps.size(),
        over50 };
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    QTemporaryDir dir;

    const QString source = dir.filePath("large.bin");
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("Cannot write the benchmark's source file");
        const QByteArray block(1 << 20, 'x');
        for (qint64 i = 0; i < megabytes; ++i) {
            if (file.write(block) != block.size())
                qFatal("Cannot write the benchmark's source file");
        }
    }

    Preferences prefs(dir.filePath("preferences.sqlite"));
    Preferences::setStandard(&prefs);
    WorkspaceStore::Services services;
    services.notifications = new NotificationService;
    services.storage = new StorageLocations(&prefs, dir.path());
    WorkspaceStore store(&prefs, services);
    ContentView view(&store);
    view.resize(420, 800);
    view.show();

    int progressShown = 0;
    QObject::connect(&store, &WorkspaceStore::fileCopyProgressChanged,
        [&] { progressShown += store.fileCopyPercent() >= 0; });

    QElapsedTimer copying;
    copying.start();
    if (!store.receiveFileURLs({ QUrl::fromLocalFile(source) }))
        qFatal("The store refused the file");
    bool started = false;
    const Gaps copy = measureTurns([&] {
        started = started || store.importingFiles();
        return started && !store.importingFiles();
    });
    const double seconds = copying.elapsed() / 1000.0;
    const Gaps baseline = measureTurns([] { return false; }, copying.elapsed());
    const bool attached = store.currentPage() && store.currentPage()->files.size() == 1;

    QFile load("/proc/loadavg");
    if (load.open(QIODevice::ReadOnly))
        std::printf("load average (1, 5, 15 min): %s", load.readLine().constData());
    std::printf("copied %lld MB in %.2f s (%.0f MB/s), attached: %s, progress updates shown: %d\n", megabytes,
        seconds, megabytes / seconds, attached ? "yes" : "NO", progressShown);
    std::printf(
        "no copy (baseline)  longest gap %8.2f ms   p99 %7.4f ms   gaps over 50 ms: %zu of %zu turns\n",
        baseline.longest, baseline.p99, baseline.over50, baseline.turns);
    std::printf("during the copy     longest gap %8.2f ms   p99 %7.4f ms   gaps over 50 ms: %zu of %zu turns"
                "   (target: longest < 50 ms)\n",
        copy.longest, copy.p99, copy.over50, copy.turns);
    Preferences::setStandard(nullptr);
    return attached ? 0 : 1;
}
