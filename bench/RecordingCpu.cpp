// CPU time Tandrel's recorder uses per second of recording: capture, metering and AAC
// encoding together, measured with getrusage over a recording from the default input
// while a tone plays into the default sink. Run it inside the private audio server:
//   scripts/with-audio ./build/release/bench/bench_recording_cpu [seconds, default 10]
#include "platform/audio/RecordingStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 10.0;
    QTemporaryDir dir;
    const QString tone = dir.filePath("tone.wav");
    if (QProcess::execute("sox", { "-n", "-r", "44100", "-c", "1", "-b", "16", tone, "synth",
                                   QString::number(seconds + 5), "sine", "440", "vol", "0.5" })
        != 0) {
        std::fprintf(stderr, "sox could not make the test tone\n");
        return 1;
    }
    QProcess player;
    player.start("paplay", { tone });
    if (!player.waitForStarted()) {
        std::fprintf(stderr, "paplay did not start\n");
        return 1;
    }

    auto* store = new RecordingStore(dir.filePath("Recordings"), nullptr);
    double cpuAtStart = 0;
    QElapsedTimer wall;
    QObject::connect(store, &RecordingStore::errorMessageChanged, &app, [store] {
        std::fprintf(stderr, "%s\n", qPrintable(store->errorText()));
        QCoreApplication::exit(1);
    });
    QObject::connect(store, &RecordingStore::isRecordingChanged, &app, [&] {
        if (!store->isRecording())
            return;
        cpuAtStart = cpuSeconds();
        wall.start();
        QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, &app, [store] {
            store->toggle();
            QCoreApplication::quit();
        });
    });
    QTimer::singleShot(300, store, &RecordingStore::toggle);
    const int status = QCoreApplication::exec();
    const double recorded = store->elapsed();
    // Deleting the store waits for the capture thread to complete the file: part of the cost.
    delete store;
    const double used = cpuSeconds() - cpuAtStart;
    const double wallSeconds = double(wall.elapsed()) / 1000;
    player.kill();
    player.waitForFinished();
    if (status != 0 || recorded <= 0)
        return 1;

    std::printf("recorded %.2f s of audio in %.2f s\n", recorded, wallSeconds);
    std::printf("CPU used: %.3f s = %.1f ms per second of recording = %.2f %% of one core\n", used,
                1000 * used / recorded, 100 * used / recorded);
    return 0;
}
