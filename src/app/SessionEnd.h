#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;
class WorkspaceStore;

// Ends the program in order when the desktop ends it: on SIGTERM, SIGINT or SIGHUP, and when
// the session manager asks for the data to be saved. A running recording is stopped and
// handed to its note like one the user stops, and whatever is unsaved is written; a signal
// then quits, and leaving the event loop releases the hot keys. The signals are turned into
// events on the main thread through a pipe (a signal handler may do nothing else).
// One per process.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(WorkspaceStore* store, QObject* parent = nullptr);
    ~SessionEnd() override;

    // Keeps the recording and the unsaved changes, then quits when `quit`.
    void end(bool quit);

signals:
    // Everything is kept; the event loop is asked to end right after (and the windows close).
    void quitting();

private:
    void signalArrived();
    void finish();

    WorkspaceStore* m_store;
    QSocketNotifier* m_notifier = nullptr;
    // How long a stopped recording may take to complete its file.
    QTimer m_recordingDeadline;
    bool m_ending = false;
    bool m_quit = false;
};
