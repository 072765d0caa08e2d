#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

// A small file system of the test's own, to fill like a full disk. Permissions stop nothing
// for root, so a test that needs writes to fail runs again in a private mount namespace
// (`unshare -m`; as another user with a user namespace too) where a 2 MB tmpfs is mounted.
namespace PrivateTmpfs {

// The private tmpfs inside the re-run; empty in the test's own process.
inline QString folder()
{
    return qEnvironmentVariable("TANDREL_PRIVATE_TMPFS");
}

struct Verdict {
    bool passed = false;
    QByteArray output;
};

// Runs the current test function and data row again inside the private tmpfs.
inline Verdict rerunInside()
{
    QTemporaryDir mountPoint;
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (const char* tag = QTest::currentDataTag(); tag && *tag)
        function += QLatin1Char(':') + QString::fromUtf8(tag);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TANDREL_PRIVATE_TMPFS"), mountPoint.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
        { geteuid() == 0 ? QStringLiteral("-m") : QStringLiteral("-rm"), QStringLiteral("sh"),
            QStringLiteral("-c"),
            QStringLiteral("mount -t tmpfs -o size=2m tmpfs \"$1\" && exec \"$2\" \"$3\""),
            QStringLiteral("sh"), mountPoint.path(), QCoreApplication::applicationFilePath(), function });
    const bool finished = child.waitForFinished(120000);
    return { finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
        child.readAll() };
}

inline QString fillerPath()
{
    return folder() + QStringLiteral("/filler");
}

// Fills the file system to its last byte.
inline bool fill()
{
    const int fd = ::open(QFile::encodeName(fillerPath()).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0)
        return false;
    static const QByteArray block(64 * 1024, '\0');
    for (qsizetype size = block.size(); size > 0; size /= 2) {
        while (::write(fd, block.constData(), size_t(size)) == ssize_t(size)) { }
    }
    ::close(fd);
    return true;
}

inline bool release()
{
    return QFile::remove(fillerPath());
}

} // namespace PrivateTmpfs

// Re-runs the calling test function inside the private tmpfs and returns with its verdict;
// inside, it does nothing.
#define RUN_IN_PRIVATE_TMPFS()                                                                               \
    do {                                                                                                     \
        if (PrivateTmpfs::folder().isEmpty()) {                                                              \
            const PrivateTmpfs::Verdict verdict = PrivateTmpfs::rerunInside();                               \
            QVERIFY2(verdict.passed, verdict.output.constData());                                            \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)
