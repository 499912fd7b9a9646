#pragma once
// The transcript for bug reports: with $QUILEX_TRACE naming a file, every transfer either
// link makes with the gauge is written to it, one line each, as it happens:
//
//   # quilex-cli 0.1.0 transcript, pid 4711, started 2025-05-20 09:12:05 +0300
//   81234567 usb W 2 04 FB
//   81234602 usb R 4 D4 01 00 00
//   81234990 pipe R 8010 00 04
//
//   <microseconds> <link> <direction> <result>[ <bytes>]
//
// - microseconds: CLOCK_MONOTONIC when the transfer ended, the clock of the simulated
//   gauge's own transcript, so the two files line up;
// - link: "pipe" (the driver's pipes) or "usb" (libusb);
// - direction: W program to gauge, R gauge to program;
// - result: what the link call returned: on usb libusb's result (bytes moved, or a
//   negative error such as -110 for a time-out), on pipe the driver status in four hex
//   digits (0000 done, 8010 I/O error or time-out, 8000 not open, 8080 bad argument);
// - bytes: every byte that actually went through, two upper-case hex digits each after
//   one space (a failed pipe read still shows the bytes it got before it failed).
//
// Without the variable (or with it empty) nothing is written and nothing is opened. The
// file is made anew on the first transfer of a run; if it cannot be made, one warning goes
// to standard error and the program carries on untraced. Lines are flushed as written, so
// a transcript survives a crash. Any thread may call traceTransfer; the links' shared
// wrapper (gauge_link.h) is the one caller.
//
// Everything lives in this header so that the links and their tests need nothing more
// than the include.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include <unistd.h>

#ifndef QUILEX_VERSION
#define QUILEX_VERSION "unknown"
#endif

namespace quilex {

enum class TraceLink { Pipe, Usb };
enum class TraceDirection { Write, Read };

namespace detail {

class LinkTrace {
public:
    static LinkTrace& instance()
    {
        // Never destroyed: an exchange thread may still be writing while the program exits.
        static LinkTrace* const trace = new LinkTrace;
        return *trace;
    }

    void record(TraceLink link, TraceDirection direction, long result, bool hexResult,
                const std::uint8_t* bytes, std::size_t count)
    {
        std::call_once(opened_, [this] { open(); });
        if (!file_)
            return;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long micros = static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;

        std::string line;
        line.reserve(40 + 3 * count);
        char head[64];
        if (hexResult)
            std::snprintf(head, sizeof head, "%lld %s %c %04lX", micros, link == TraceLink::Pipe ? "pipe" : "usb",
                          direction == TraceDirection::Write ? 'W' : 'R', static_cast<unsigned long>(result) & 0xFFFF);
        else
            std::snprintf(head, sizeof head, "%lld %s %c %ld", micros, link == TraceLink::Pipe ? "pipe" : "usb",
                          direction == TraceDirection::Write ? 'W' : 'R', result);
        line += head;
        static const char digits[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < count; ++i) {
            line += ' ';
            line += digits[bytes[i] >> 4];
            line += digits[bytes[i] & 0x0F];
        }
        line += '\n';

        const std::lock_guard<std::mutex> lock(writing_);
        std::fputs(line.c_str(), file_);
        std::fflush(file_);
    }

private:
    LinkTrace() = default;

    void open()
    {
        const char* path = std::getenv("QUILEX_TRACE");
        if (!path || !*path)
            return;
        file_ = std::fopen(path, "we");
        if (!file_) {
            std::fprintf(stderr, "%s: cannot write the transcript %s: %s; going on without it\n",
                         program_invocation_short_name, path, std::strerror(errno));
            return;
        }
        char started[64] = "";
        const std::time_t wall = std::time(nullptr);
        tm local{};
        if (::localtime_r(&wall, &local))
            std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S %z", &local);
        std::fprintf(file_, "# %s %s transcript, pid %ld, started %s\n", program_invocation_short_name,
                     QUILEX_VERSION, static_cast<long>(::getpid()), started);
        std::fflush(file_);
    }

    std::once_flag opened_;
    std::mutex writing_;
    std::FILE* file_ = nullptr;
};

} // namespace detail

// One transfer of either link, as the link answered it: on the pipes the driver status (written
// in four hex digits), on libusb the library's result (written in decimal); bytes are the
// count bytes that went through.
inline void traceTransfer(TraceLink link, TraceDirection direction, long result, const std::uint8_t* bytes,
                          std::size_t count)
{
    detail::LinkTrace::instance().record(link, direction, result, link == TraceLink::Pipe, bytes, count);
}

} // namespace quilex
