#pragma once

// Small tools for tests on a real X server (scripts/with-display): running the X command
// line tools, X window ids of widgets, and helper programs stopped by their own id.
#include <QProcess>
#include <QWidget>
#include <QWindow>

inline QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline QString xdotool(const QStringList& arguments)
{
    return run("xdotool", arguments);
}

// The X window of a top-level widget (Qt may re-create it; the widget's own id lags).
inline WId xid(QWidget* widget)
{
    widget->winId();
    return widget->windowHandle()->winId();
}

inline QString hex(WId id)
{
    return QStringLiteral("0x%1").arg(quint64(id), 0, 16);
}

inline bool viewable(QWidget* widget)
{
    return run("xwininfo", { "-id", hex(xid(widget)) }).contains("IsViewable");
}

inline QString xProperty(QWidget* widget, const char* name)
{
    return run("xprop", { "-id", hex(xid(widget)), QString::fromLatin1(name) });
}

// Started here, stopped (by its own id) when the test ends.
class ScopedProcess {
public:
    ScopedProcess(const QString& program, const QStringList& arguments)
    {
        m_process.start(program, arguments);
        m_process.waitForStarted();
    }
    ~ScopedProcess()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
};
