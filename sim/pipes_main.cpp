// quilex-sim-pipes: the simulated gauge behind the driver's two pipes. It makes the device
// folder ROOT/NAME with the FIFOs Pipe00 (program to gauge) and Pipe01 (gauge to program),
// answers the program on them until it is told to stop (SIGINT, SIGTERM) or the fault list
// unplugs it, and then removes what it made.
//
// The server keeps both FIFOs open for reading and writing for its whole life: the program
// may open and close its ends as often as it likes, an open never blocks, the server never
// sees an end of file, and the program's non-blocking open of Pipe00 for writing always
// finds a reader.

#include "gauge_model.h"
#include "sim_setup.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quilex::sim;

namespace {

int signalPipe[2] = {-1, -1};
constexpr std::chrono::milliseconds StaleReplyAfter{1000};

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
    errno = saved;
}

const char Usage[] =
    "usage: quilex-sim-pipes [--faults=LIST] [--image=FILE] ROOT [NAME]\n"
    "       quilex-sim-pipes [--image=FILE] --print-image\n"
    "\n"
    "Serves a simulated gauge on the FIFOs ROOT/NAME/Pipe00 (program to gauge) and\n"
    "ROOT/NAME/Pipe01 (gauge to program); NAME is gauge0 unless given. Prints\n"
    "\"ready ROOT/NAME\" once the FIFOs exist, and removes them on SIGINT or SIGTERM.\n"
    "\n"
    "  --faults=LIST   fault list, replaces $QUILEX_SIM (keys in sim/README.md)\n"
    "  --image=FILE    gauge image file, replaces $QUILEX_SIM_IMAGE; empty: demo gauge\n"
    "  --print-image   write the gauge image (the demo gauge without --image) and exit\n"
    "  --help          this text\n";

class PipeServer {
public:
    PipeServer(SimSetup setup, std::string folder) : setup_(std::move(setup)), folder_(std::move(folder)),
        model_(Transport::Driver, setup_.image, setup_.faults), gate_(setup_.faults) {}
    ~PipeServer() { cleanup(); }

    bool start(bool rootCreated, const std::string& root, std::string& error);
    int run();

private:
    bool makeFifo(const std::string& path, std::string& error);
    bool pause(int ms); // false when a signal came
    bool signalled();
    void serveInput(const std::uint8_t* data, std::size_t n);
    void sendReplies();
    bool writeAll(const std::vector<std::uint8_t>& bytes);
    void drainStale();
    int unreadReplyBytes() const;
    void cleanup();

    SimSetup setup_;
    std::string folder_;
    std::string root_;
    bool rootCreated_ = false;
    bool folderCreated_ = false;
    GaugeModel model_;
    TransferGate gate_;
    Transcript transcript_;
    int in_ = -1;  // Pipe00
    int out_ = -1; // Pipe01
    bool made00_ = false, made01_ = false;
    bool stop_ = false;
    bool unplugged_ = false;
};

bool PipeServer::makeFifo(const std::string& path, std::string& error)
{
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            error = path + " exists and is not a FIFO";
            return false;
        }
        unlink(path.c_str()); // left behind by a server that did not stop cleanly
    }
    if (mkfifo(path.c_str(), 0660) != 0) {
        error = "cannot make " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool PipeServer::start(bool rootCreated, const std::string& root, std::string& error)
{
    root_ = root;
    rootCreated_ = rootCreated;
    if (mkdir(folder_.c_str(), 0770) == 0) {
        folderCreated_ = true;
    } else if (errno != EEXIST) {
        error = "cannot make " + folder_ + ": " + std::strerror(errno);
        return false;
    } else {
        struct stat st {};
        if (stat(folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = folder_ + " exists and is not a folder";
            return false;
        }
    }
    const std::string p00 = folder_ + "/Pipe00", p01 = folder_ + "/Pipe01";
    if (!makeFifo(p00, error))
        return false;
    made00_ = true;
    if (!makeFifo(p01, error))
        return false;
    made01_ = true;
    in_ = open(p00.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    out_ = open(p01.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (in_ < 0 || out_ < 0) {
        error = "cannot open the FIFOs: " + std::string(std::strerror(errno));
        return false;
    }
    if (!setup_.faults.transcriptPath.empty() && !transcript_.open(setup_.faults.transcriptPath, error))
        return false;
    transcript_.note("gauge started on " + folder_);
    return true;
}

bool PipeServer::signalled()
{
    pollfd p{signalPipe[0], POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
        stop_ = true;
    return stop_;
}

bool PipeServer::pause(int ms)
{
    if (ms <= 0)
        return !signalled();
    pollfd p{signalPipe[0], POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    if (r > 0)
        stop_ = true;
    return !stop_;
}

void PipeServer::drainStale()
{
    std::uint8_t buf[4096];
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    if (total > 0)
        transcript_.note("drained " + std::to_string(total) + " stale bytes from Pipe01");
}

bool PipeServer::writeAll(const std::vector<std::uint8_t>& bytes)
{
    const std::size_t step = setup_.faults.chunkBytes > 0 ? static_cast<std::size_t>(setup_.faults.chunkBytes)
                                                          : bytes.size();
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (done > 0 && step < bytes.size() && !pause(5)) // let the reader see each piece on its own
            return false;
        const std::size_t want = std::min(step, bytes.size() - done);
        std::size_t sent = 0;
        while (sent < want) {
            const ssize_t n = write(out_, bytes.data() + done + sent, want - sent);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                // Nobody reads and the FIFO is full: wait a little for the program.
                pollfd p[2] = {{out_, POLLOUT, 0}, {signalPipe[0], POLLIN, 0}};
                const int r = poll(p, 2, 2000);
                if (r > 0 && (p[1].revents & POLLIN)) {
                    stop_ = true;
                    return false;
                }
                if (r > 0)
                    continue;
            }
            transcript_.note("reply abandoned: Pipe01 is full");
            return false;
        }
        done += want;
    }
    return true;
}

void PipeServer::sendReplies()
{
    bool first = true;
    while (model_.pendingBytes() > 0 && !stop_) {
        const TransferGate::Decision d = gate_.next();
        if (d.outcome == TransferGate::Outcome::Gone) {
            unplugged_ = true;
            return;
        }
        if (!pause(d.latencyMs))
            return;
        if (d.outcome == TransferGate::Outcome::Fail || d.outcome == TransferGate::Outcome::Silent) {
            transcript_.note("transfer " + std::to_string(d.number) + " R "
                             + (d.outcome == TransferGate::Outcome::Fail ? "failed (fail_every)" : "not sent (silent)")
                             + ": the rest of the reply is dropped");
            model_.clearOutput();
        } else {
            if (first)
                drainStale();
            first = false;
            const std::vector<std::uint8_t> part = model_.takePart();
            transcript_.transfer('R', part.data(), part.size());
            if (!writeAll(part))
                model_.clearOutput();
        }
        if (gate_.unplugDue()) {
            unplugged_ = true;
            return;
        }
    }
}

void PipeServer::serveInput(const std::uint8_t* data, std::size_t n)
{
    const TransferGate::Decision d = gate_.next();
    if (d.outcome == TransferGate::Outcome::Gone) {
        unplugged_ = true;
        return;
    }
    transcript_.transfer('W', data, n);
    if (!pause(d.latencyMs))
        return;
    if (d.outcome == TransferGate::Outcome::Fail)
        transcript_.note("transfer " + std::to_string(d.number) + " W lost (fail_every)");
    else if (d.outcome == TransferGate::Outcome::Silent)
        transcript_.note("transfer " + std::to_string(d.number) + " W ignored (silent)");
    else
        model_.feed(data, n);
    if (gate_.unplugDue()) {
        unplugged_ = true;
        return;
    }
    sendReplies();
}

int PipeServer::unreadReplyBytes() const
{
    int n = 0;
    return ioctl(out_, FIONREAD, &n) == 0 ? n : 0;
}

int PipeServer::run()
{
    std::uint8_t buf[4096];
    // Reply bytes the program leaves in Pipe01 untouched for a second belong to an exchange
    // it gave up: they go, so that its next command is not answered with them. (A reply in
    // progress is read within milliseconds.)
    int unread = 0;
    auto unreadSince = std::chrono::steady_clock::now();
    while (!stop_ && !unplugged_) {
        const int now = unreadReplyBytes();
        if (now != unread) {
            unread = now;
            unreadSince = std::chrono::steady_clock::now();
        } else if (unread > 0 && std::chrono::steady_clock::now() - unreadSince >= StaleReplyAfter) {
            drainStale();
            unread = 0;
        }
        pollfd p[2] = {{in_, POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
        const int r = poll(p, 2, unread > 0 ? 100 : -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "quilex-sim-pipes: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (p[1].revents & POLLIN)
            break;
        if (p[0].revents & POLLIN) {
            const ssize_t n = read(in_, buf, sizeof buf);
            if (n > 0)
                serveInput(buf, static_cast<std::size_t>(n));
        }
    }
    if (unplugged_) {
        transcript_.note("unplugged after " + std::to_string(gate_.count()) + " transfers");
        std::fprintf(stderr, "quilex-sim-pipes: unplugged after %d transfers\n", gate_.count());
    }
    return 0;
}

void PipeServer::cleanup()
{
    if (in_ >= 0)
        close(in_);
    if (out_ >= 0)
        close(out_);
    in_ = out_ = -1;
    if (made00_)
        unlink((folder_ + "/Pipe00").c_str());
    if (made01_)
        unlink((folder_ + "/Pipe01").c_str());
    made00_ = made01_ = false;
    if (folderCreated_)
        rmdir(folder_.c_str());
    if (rootCreated_)
        rmdir(root_.c_str());
    folderCreated_ = rootCreated_ = false;
    transcript_.close();
}

} // namespace

int main(int argc, char** argv)
{
    const char* faults = nullptr;
    const char* image = nullptr;
    bool printImage = false;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg.rfind("--faults=", 0) == 0) {
            faults = argv[i] + 9;
        } else if (arg.rfind("--image=", 0) == 0) {
            image = argv[i] + 8;
        } else if (arg == "--print-image") {
            printImage = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "quilex-sim-pipes: unknown option %s\n\n%s", arg.c_str(), Usage);
            return 2;
        } else {
            positional.push_back(arg);
        }
    }

    SimSetup setup;
    std::string error;
    if (!loadSetup(faults, image, setup, error)) {
        std::fprintf(stderr, "quilex-sim-pipes: %s\n", error.c_str());
        return 1;
    }
    if (printImage) {
        std::fputs(formatImage(setup.image).c_str(), stdout);
        return 0;
    }
    if (positional.empty() || positional.size() > 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    std::string root = positional[0];
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    const std::string name = positional.size() == 2 ? positional[1] : "gauge0";
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        std::fprintf(stderr, "quilex-sim-pipes: NAME must be a plain folder name\n");
        return 2;
    }

    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("quilex-sim-pipes: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    bool rootCreated = false;
    if (mkdir(root.c_str(), 0770) == 0)
        rootCreated = true;
    else if (errno != EEXIST) {
        std::fprintf(stderr, "quilex-sim-pipes: cannot make %s: %s\n", root.c_str(), std::strerror(errno));
        return 1;
    }

    const std::string folder = root + "/" + name;
    int status;
    {
        PipeServer server(std::move(setup), folder);
        if (!server.start(rootCreated, root, error)) {
            std::fprintf(stderr, "quilex-sim-pipes: %s\n", error.c_str());
            return 1;
        }
        std::printf("ready %s\n", folder.c_str());
        std::fflush(stdout);
        status = server.run();
    }
    return status;
}
