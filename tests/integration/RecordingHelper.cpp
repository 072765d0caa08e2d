// Records from the default input into a folder, the way the application does, and prints
// "recording" once audio is arriving. Records until killed; the end of its standard input
// stops it like a normal quit.
//   recording_helper <folder>
#include "platform/audio/RecordingStore.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    QCoreApplication app(argc, argv);
    auto* store = new RecordingStore(QString::fromLocal8Bit(argv[1]), nullptr, {}, &app);

    QObject::connect(store, &RecordingStore::errorMessageChanged, &app, [store] {
        if (const auto message = store->errorMessage()) {
            std::fprintf(stderr, "error %s\n", qPrintable(*message));
            QCoreApplication::exit(1);
        }
    });
    // Only once audio is flowing is there something to lose.
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [store, poll] {
        if (!store->isRecording() || store->elapsed() <= 0)
            return;
        poll->stop();
        std::puts("recording");
        std::fflush(stdout);
    });
    poll->start(20);

    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(input, &QSocketNotifier::activated, &app, [input] {
        char buffer[64];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input->setEnabled(false);
            QCoreApplication::quit();
        }
    });
    store->start();
    const int status = QCoreApplication::exec();
    delete store;
    return status;
}
