#include "FileCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace FileCopy {
namespace {

constexpr size_t kBlock = 1024 * 1024;

Error openError(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return Error::missing;
    // O_NOFOLLOW met a link that replaced the file after it was looked at.
    case ELOOP:
        return Error::changed;
    default:
        return Error::unreadable;
    }
}

Error writeError(int error)
{
    return error == ENOSPC || error == EDQUOT ? Error::diskFull : Error::writeFailed;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Owns the open descriptors and the temporary file until the copy is complete.
class Transfer {
public:
    ~Transfer()
    {
        if (m_in >= 0)
            ::close(m_in);
        if (m_out >= 0)
            ::close(m_out);
        if (!m_temporary.isEmpty())
            ::unlink(m_temporary.constData());
    }

    Error run(const QByteArray& source, const QByteArray& destination, const Progress& progress)
    {
        struct stat before { };
        if (::lstat(source.constData(), &before) != 0)
            return openError(errno);
        // Checked before opening: opening a pipe for reading would wait for a writer.
        if (!S_ISREG(before.st_mode))
            return Error::notRegularFile;
        m_in = ::open(source.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (m_in < 0)
            return openError(errno);
        struct stat opened { };
        if (::fstat(m_in, &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(before, opened))
            return Error::changed;

        const QString folder = QFileInfo(QFile::decodeName(destination)).path();
        m_temporary = QFile::encodeName(folder + QStringLiteral("/.")
            + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".part"));
        m_out = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (m_out < 0) {
            const int error = errno;
            m_temporary.clear();
            return writeError(error);
        }

        std::vector<char> block(kBlock);
        qint64 copied = 0;
        while (true) {
            const ssize_t count = ::read(m_in, block.data(), block.size());
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return Error::unreadable;
            if (count == 0)
                break;
            for (ssize_t written = 0; written < count;) {
                const ssize_t step = ::write(m_out, block.data() + written, size_t(count - written));
                if (step < 0 && errno == EINTR)
                    continue;
                if (step < 0)
                    return writeError(errno);
                written += step;
            }
            copied += count;
            if (!progress(copied, opened.st_size))
                return Error::cancelled;
        }
        // Delayed allocation may report a full disk only here.
        if (::fsync(m_out) != 0 || ::close(std::exchange(m_out, -1)) != 0)
            return writeError(errno);

        struct stat after { };
        if (copied != opened.st_size || ::lstat(source.constData(), &after) != 0 || !sameFile(opened, after)
            || after.st_size != opened.st_size)
            return Error::changed;
        if (::rename(m_temporary.constData(), destination.constData()) != 0)
            return writeError(errno);
        m_temporary.clear();
        return Error::none;
    }

private:
    int m_in = -1;
    int m_out = -1;
    QByteArray m_temporary;
};

} // namespace

Error copy(const QString& source, const QString& destination, const Progress& progress)
{
    Transfer transfer;
    return transfer.run(QFile::encodeName(source), QFile::encodeName(destination), progress);
}

} // namespace FileCopy
