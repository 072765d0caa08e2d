#pragma once

#include <QObject>

// The focus timer as the edge tab and the quick controls read and drive it. The window
// layer sits below the feature models, so the timer reaches it through this interface.
class FocusTimerControl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool hasStarted() const = 0;
    virtual bool isRunning() const = 0;
    virtual bool isBreak() const = 0;
    // Whole seconds left at this moment, rounded up.
    virtual qint64 secondsNow() const = 0;

    // Start, pause or resume.
    virtual void toggle() = 0;
    // Discards the started countdown; keeps the mode.
    virtual void reset() = 0;
    // Switches between focus and break; ignored once a countdown has started.
    virtual void selectMode(bool isBreak) = 0;
    // Ends the period when its deadline has passed.
    virtual void finishIfNeeded() = 0;

signals:
    // Any of the values above may have changed.
    void changed();
};
