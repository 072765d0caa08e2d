// Records from the default input into a folder, the way the application does, and prints
// "recording" once that many seconds of audio are in the file. Records until killed.
//   recording_helper <folder> <seconds>
#include "platform/audio/RecordingStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    QCoreApplication app(argc, argv);
    const double seconds = QString::fromLocal8Bit(argv[2]).toDouble();
    RecordingStore store(QString::fromLocal8Bit(argv[1]), nullptr);
    QObject::connect(&store, &RecordingStore::errorMessageChanged, &app, [&store] {
        std::fprintf(stderr, "error %s\n", qPrintable(store.errorText()));
        QCoreApplication::exit(1);
    });
    QObject::connect(
        &store, &RecordingStore::elapsedChanged, &app, [&store, seconds, announced = false]() mutable {
            if (announced || store.elapsed() < seconds)
                return;
            announced = true;
            std::puts("recording");
            std::fflush(stdout);
        });
    store.toggle();
    return QCoreApplication::exec();
}
