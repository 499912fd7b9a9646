#include "driver_pipe_link.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quilex {

namespace {

bool isFifo(const std::filesystem::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// A gauge that goes away while we write must not kill the program with SIGPIPE: the write
// fails with EPIPE instead and the exchange retries.
void ignoreBrokenPipes()
{
    static const bool once = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)once;
}

// Waits until fd is ready for events; false on time-out, error, or when abort turns true.
bool waitFor(int fd, short events, int timeoutMs, const std::atomic<bool>* abort)
{
    constexpr int SliceMs = 100;
    pollfd p{fd, events, 0};
    // Bytes already there are taken whatever the flag says: it only cuts a wait short.
    if (::poll(&p, 1, 0) > 0)
        return true;
    for (int left = timeoutMs;;) {
        if (abort && abort->load())
            return false;
        const int slice = abort ? std::min(left, SliceMs) : left;
        const int r = ::poll(&p, 1, slice);
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
        if (r == 0) {
            left -= slice;
            if (left <= 0)
                return false;
        }
    }
}

} // namespace

std::string driverRootFromEnvironment()
{
    const char* root = std::getenv("QUILEX_DRIVER_ROOT");
    return (root && *root) ? std::string(root) : std::string(DefaultDriverRoot);
}

DriverPipeLink::DriverPipeLink(std::string root, int readTimeoutMs)
    : root_(std::move(root)), readTimeoutMs_(readTimeoutMs)
{
}

DriverPipeLink::~DriverPipeLink()
{
    Close();
}

int DriverPipeLink::Enumerate(std::string& list) const
{
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> paths;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path dir = it->path();
        if (fs::is_directory(dir, ec) && isFifo(dir / "Pipe00") && isFifo(dir / "Pipe01"))
            paths.push_back(dir.string());
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
        list += p;
        list += '\n';
    }
    return static_cast<int>(paths.size());
}

std::uint16_t DriverPipeLink::Open(const std::string& path)
{
    if (open_)
        return PipeOk;
    ignoreBrokenPipes();
    const std::string writeName = path + "/Pipe00";
    const std::string readName = path + "/Pipe01";

    // Neither open may block: a FIFO opened for reading without O_NONBLOCK waits for a
    // writer, and one opened for writing with O_NONBLOCK fails at once (ENXIO) when no gauge
    // holds the other end, which is what we want to learn.
    int error = 0;
    readFd_ = ::open(readName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (readFd_ < 0)
        error = errno;
    writeFd_ = ::open(writeName.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writeFd_ < 0 && error == 0)
        error = errno;
    if (readFd_ < 0 || writeFd_ < 0) {
        Close();
        return static_cast<std::uint16_t>(error & 0xFFFF);
    }
    open_ = true;
    return PipeOk;
}

std::uint16_t DriverPipeLink::ReadExact(std::uint8_t* buffer, std::uint32_t count, std::uint32_t* received)
{
    std::uint32_t got = 0;
    const auto done = [&](std::uint16_t status) {
        if (received)
            *received = got;
        return status;
    };
    if (!open_ || readFd_ < 0)
        return done(PipeNotOpen);
    if (count == 0)
        return done(PipeBadArgument);
    while (got < count) {
        if (!waitFor(readFd_, POLLIN, readTimeoutMs_, abort_))
            return done(PipeIoError); // no byte came: a read with no bytes
        const ssize_t n = ::read(readFd_, buffer + got, count - got);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return done(PipeIoError);
        }
        if (n == 0) {
            peerGone_ = true; // the gauge closed its end: it has gone
            return done(PipeIoError);
        }
        got += static_cast<std::uint32_t>(n);
    }
    return done(PipeOk);
}

std::uint16_t DriverPipeLink::Write(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written)
{
    if (written)
        *written = 0;
    if (!open_ || writeFd_ < 0)
        return PipeNotOpen;
    if (count == 0)
        return PipeBadArgument;
    // One write. Our blocks are far below PIPE_BUF, so the FIFO takes them whole or not at
    // all; a gauge that stops reading for the read time-out fails the write.
    for (;;) {
        if (!waitFor(writeFd_, POLLOUT, readTimeoutMs_, abort_))
            return PipeIoError;
        const ssize_t put = ::write(writeFd_, buffer, count);
        if (put < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (put < 0) {
            peerGone_ = errno == EPIPE; // nobody reads the pipe any more
            return PipeIoError;
        }
        if (written)
            *written = static_cast<std::uint32_t>(put);
        return PipeOk;
    }
}

std::uint16_t DriverPipeLink::Close()
{
    if (readFd_ >= 0)
        ::close(readFd_);
    readFd_ = -1;
    if (writeFd_ >= 0)
        ::close(writeFd_);
    writeFd_ = -1;
    open_ = false;
    peerGone_ = false;
    return PipeOk;
}

} // namespace quilex
