#include "export/file_replace.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quilex {

namespace {

QString systemError(const char* what, int error)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(error)));
}

// The file a name finally stands for: a symbolic link is followed to its target, link after
// link (a target that does not exist yet included), so that saving over a link writes the file
// it points to and leaves the link in place. A loop of links is left as it is, and fails later.
QString throughLinks(const QString& path)
{
    QString current = path;
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(current).constData(), target, sizeof target - 1);
        if (n <= 0)
            return current;
        const QString next = QFile::decodeName(QByteArray(target, n));
        current = QFileInfo(next).isAbsolute() ? next : info.path() + QLatin1Char('/') + next;
    }
    return path;
}

} // namespace

ReplacingFile::ReplacingFile(QString path)
    : path_(throughLinks(path))
{
}

ReplacingFile::~ReplacingFile()
{
    if (!committed_ && !temporary_.isEmpty())
        ::unlink(QFile::encodeName(temporary_).constData());
}

bool ReplacingFile::prepare()
{
    if (path_.isEmpty()) {
        error_ = QStringLiteral("no file name");
        return false;
    }
    const QFileInfo info(path_);
    if (info.isDir()) {
        error_ = QStringLiteral("\"%1\" is a folder").arg(path_);
        return false;
    }
    // A device, pipe or socket would be replaced by a plain file rather than written to.
    if (info.exists() && !info.isFile()) {
        error_ = QStringLiteral("\"%1\" is not a regular file").arg(path_);
        return false;
    }
    // Hidden, and named after the target, so that a file left by a crash says what it was.
    const QString folder = info.path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = QStringLiteral("%1/.%2.%3~")
                                      .arg(folder, info.fileName())
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        // 0666 less the umask, as any new file of the user's gets.
        const int fd = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            temporary_ = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error_ = systemError("cannot create a file in the target's folder", errno);
            return false;
        }
    }
    error_ = QStringLiteral("cannot find a free temporary name");
    return false;
}

bool ReplacingFile::commit()
{
    if (temporary_.isEmpty()) {
        error_ = QStringLiteral("nothing was written");
        return false;
    }
    const QByteArray temporary = QFile::encodeName(temporary_);
    const QByteArray target = QFile::encodeName(path_);
    const int fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = systemError("cannot reopen the written file", errno);
        return false;
    }
    struct stat old {};
    if (::stat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd, old.st_mode & 07777); // keep what the user had set
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!synced) {
        error_ = systemError("cannot flush the written file", syncError);
        return false;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        error_ = systemError("cannot rename the written file", errno);
        return false;
    }
    committed_ = true;
    return true;
}

} // namespace quilex
