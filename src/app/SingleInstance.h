#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// Keeps Tandrel to one running instance per user. The first instance holds a lock on a
// file and listens on a local socket in the user's runtime folder; a later launch finds
// the lock taken, asks the running instance to show its window (or to run the action it
// was started with), and exits. The lock is the kernel's: it ends with the process, so
// nothing a crash leaves behind blocks a start.
//
// A request is one line: "show" for a plain launch, "action <name>" for an action; the
// running instance answers "ok" to what it understood.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role { primary, secondary, unreachable };

    // `name` names the lock file and the socket; `folder` is the user's runtime folder
    // when empty.
    explicit SingleInstance(const QString& name = QStringLiteral("Tandrel"),
        const QString& folder = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance (primary), or hands the launch to the running one
    // (secondary), handing over `action` when given (letters and dashes). Unreachable:
    // another instance holds the lock but does not answer.
    Role start(const QString& action = QString());
    // How long a later launch keeps trying while the running instance may still be starting.
    void setAskDuration(int ms) { m_askForMs = ms; }

    QString lockPath() const { return m_folder + QLatin1Char('/') + m_name + QStringLiteral(".lock"); }
    QString socketPath() const { return m_folder + QLatin1Char('/') + m_name + QStringLiteral(".socket"); }

signals:
    // A later launch asked for the window.
    void activationRequested();
    // A later launch asked for the action `name`.
    void actionRequested(const QString& name);

private:
    bool askRunningInstance(const QByteArray& request) const;
    void listen();
    void accept();
    void serve(int client);

    QString m_name;
    QString m_folder;
    int m_lock = -1;
    int m_server = -1;
    int m_askForMs = 3000;
    QSocketNotifier* m_listening = nullptr;
};
