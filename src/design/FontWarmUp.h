#pragma once

#include "platform/BackgroundJob.h"

#include <QObject>

// Loads, on a worker, what the window's first text layout would otherwise load on the main
// thread: the list of the system's fonts and the fallback fonts of the interface's font and
// of the fixed-pitch font, for the scripts the interface is written in. Both are kept in the
// font database, which every thread shares; the main thread meanwhile opens the data and
// builds the window, and finds them ready (or waits for the one load, never does it twice).
class FontWarmUp : public QObject {
    Q_OBJECT
public:
    // Starts at once; needs the application object.
    explicit FontWarmUp(QObject* parent = nullptr);

private:
    BackgroundJobs m_jobs { this };
};
