// quilex-sim-pipes end to end: the server is started in a temporary folder and spoken to
// through its FIFOs the way the program's pipe link opens them.

#include "gauge_image.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

bool exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

class Server {
public:
    ~Server()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }

    // Starts the server and waits for its "ready" line; returns that line.
    std::string start(const std::vector<std::string>& args)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return "pipe failed";
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv;
            static const std::string program = QUILEX_BIN_DIR "/quilex-sim-pipes";
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            unsetenv("QUILEX_SIM");
            unsetenv("QUILEX_SIM_IMAGE");
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char c;
            if (read(out_, &c, 1) != 1)
                break;
            if (c == '\n')
                return line;
            line += c;
        }
        return "no ready line: " + line;
    }

    // Sends a signal and returns the exit status (-1 if it did not exit normally in time).
    int stop(int signal = SIGTERM)
    {
        if (signal)
            kill(pid_, signal);
        return waitExit();
    }

    int waitExit()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            const pid_t r = waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// The program's end of the pipes.
class ProgramSide {
public:
    explicit ProgramSide(const std::string& folder)
    {
        in_ = open((folder + "/Pipe01").c_str(), O_RDONLY | O_NONBLOCK);
        out_ = open((folder + "/Pipe00").c_str(), O_WRONLY | O_NONBLOCK);
    }
    ~ProgramSide()
    {
        if (in_ >= 0)
            close(in_);
        if (out_ >= 0)
            close(out_);
    }
    bool ok() const { return in_ >= 0 && out_ >= 0; }

    bool send(const Bytes& b) { return write(out_, b.data(), b.size()) == static_cast<ssize_t>(b.size()); }

    // Reads exactly n bytes, each wait at most timeoutMs; fewer when the gauge falls silent.
    Bytes receive(std::size_t n, int timeoutMs = 2000)
    {
        Bytes got;
        while (got.size() < n) {
            pollfd p{in_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                break;
            std::uint8_t buf[4096];
            const ssize_t r = read(in_, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0)
                break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

private:
    int in_ = -1;
    int out_ = -1;
};

class SimPipesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = testing::TempDir() + "/quilex-pipes-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { rmdir(root.c_str()); }
    std::string root;
};

} // namespace

TEST_F(SimPipesTest, ScreenPictureOverTheFifosAndCleanStop)
{
    Server server;
    ASSERT_EQ(server.start({root}), "ready " + root + "/gauge0");
    const std::string folder = root + "/gauge0";
    {
        ProgramSide program(folder);
        ASSERT_TRUE(program.ok());
        ASSERT_TRUE(program.send({0x08, 0xF7}));
        EXPECT_EQ(program.receive(4), (Bytes{0x00, 0x04, 0x00, 0x00}));
        const quilex::sim::ScreenPicture demo = quilex::sim::demoImage().screen;
        EXPECT_EQ(program.receive(1024), Bytes(demo.begin(), demo.end()));
    }
    EXPECT_EQ(server.stop(SIGTERM), 0);
    EXPECT_FALSE(exists(folder + "/Pipe00"));
    EXPECT_FALSE(exists(folder + "/Pipe01"));
    EXPECT_FALSE(exists(folder));
    EXPECT_TRUE(exists(root));
}

TEST_F(SimPipesTest, ImageFileRecordsAndStaleRepliesAreDrained)
{
    Server server;
    ASSERT_EQ(server.start({"--image=" QUILEX_SIM_SOURCE_DIR "/examples/demo-gauge.txt", root, "dev7"}),
              "ready " + root + "/dev7");
    const std::string folder = root + "/dev7";
    {
        // An exchange the program gives up: it reads nothing and closes its ends.
        ProgramSide program(folder);
        ASSERT_TRUE(program.ok());
        ASSERT_TRUE(program.send({0x02, 0xFD}));
        usleep(100000);
    }
    // The gauge throws the abandoned reply away once it has lain unread for a second.
    usleep(1300000);
    {
        ProgramSide program(folder);
        ASSERT_TRUE(program.ok());
        ASSERT_TRUE(program.send({0x03, 0xFC, 0x00, 0x00}));
        EXPECT_EQ(program.receive(4), (Bytes{0x14, 0x00, 0x00, 0x00}));
        // record 2024-05-20 09:12:05 1 1 6 5920 12.50, in the driver's layout.
        EXPECT_EQ(program.receive(20), (Bytes{0x05, 0x0C, 0x09, 0x14, 0x05, 0x18, 0x01, 0x01, 0x05, 0x00, 0x00, 0x00,
                                              0x20, 0x17, 0x00, 0x00, 0x00, 0x00, 0x48, 0x41}));
        ASSERT_TRUE(program.send({0x02, 0xFD}));
        const Bytes length = program.receive(4);
        EXPECT_EQ(length, (Bytes{0x04, 0x01, 0x00, 0x00}));
        const Bytes block = program.receive(260);
        ASSERT_EQ(block.size(), 260u);
        EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), (Bytes{0xFF, 0x0F, 0x00, 0x00})); // 12 records
        EXPECT_TRUE(program.receive(1, 100).empty());
    }
    EXPECT_EQ(server.stop(SIGINT), 0);
    EXPECT_FALSE(exists(folder));
}

TEST_F(SimPipesTest, PutMaterialsThenGetMaterials)
{
    Server server;
    ASSERT_EQ(server.start({root}), "ready " + root + "/gauge0");
    ProgramSide program(root + "/gauge0");
    ASSERT_TRUE(program.ok());
    Bytes table(468);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(i % 13 + 0x40);
    ASSERT_TRUE(program.send({0x05, 0xFA}));
    usleep(20000);
    ASSERT_TRUE(program.send({0xD4, 0x01, 0x00, 0x00}));
    for (std::size_t at = 0; at < table.size(); at += 64) {
        const std::size_t n = std::min<std::size_t>(64, table.size() - at);
        ASSERT_TRUE(program.send(Bytes(table.begin() + static_cast<std::ptrdiff_t>(at),
                                       table.begin() + static_cast<std::ptrdiff_t>(at + n))));
        usleep(2000);
    }
    ASSERT_TRUE(program.send({0x04, 0xFB}));
    EXPECT_EQ(program.receive(4), (Bytes{0xD4, 0x01, 0x00, 0x00}));
    EXPECT_EQ(program.receive(468), table);
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(SimPipesTest, FaultsCutRepliesAndUnplugRemovesTheDevice)
{
    const std::string transcript = root + "/transcript.txt";
    Server server;
    ASSERT_EQ(server.start({"--faults=short=screen:100,unplug_after=6,transcript=" + transcript, root}),
              "ready " + root + "/gauge0");
    const std::string folder = root + "/gauge0";
    {
        ProgramSide program(folder);
        ASSERT_TRUE(program.ok());
        ASSERT_TRUE(program.send({0x08, 0xF7}));                // 1 W, 2 R, 3 R
        EXPECT_EQ(program.receive(4), (Bytes{0x00, 0x04, 0x00, 0x00}));
        EXPECT_EQ(program.receive(1024, 300).size(), 100u);     // the rest never comes
        ASSERT_TRUE(program.send({0x01, 0xFE}));                // 4 W, 5 R, 6 R: then it leaves
        EXPECT_EQ(program.receive(4), (Bytes{18, 0, 0, 0}));
        EXPECT_EQ(program.receive(18).size(), 18u);
    }
    EXPECT_EQ(server.waitExit(), 0);
    EXPECT_FALSE(exists(folder));

    std::ifstream in(transcript);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("# ", 0) != 0)
            lines.push_back(line.substr(line.find(' ') + 1));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "W 08 F7");
    EXPECT_EQ(lines[1], "R 00 04 00 00");
    EXPECT_EQ(lines[2].size(), 1u + 100u * 3u);
    EXPECT_EQ(lines[3], "W 01 FE");
    EXPECT_EQ(lines[4], "R 12 00 00 00");
    EXPECT_EQ(lines[5], "R 51 58 2D 31 20 66 69 72 6D 77 61 72 65 20 31 2E 30 37"); // "QX-1 firmware 1.07"
    std::remove(transcript.c_str());
}

TEST_F(SimPipesTest, RefusesBadFaultsAndHelps)
{
    Server bad;
    EXPECT_EQ(bad.start({"--faults=fail_every=none", root}).rfind("no ready line", 0), 0u);
    EXPECT_EQ(bad.waitExit(), 1);
    EXPECT_FALSE(exists(root + "/gauge0"));

    Server help;
    EXPECT_EQ(help.start({"--help"}).rfind("usage: quilex-sim-pipes", 0), 0u);
    EXPECT_EQ(help.waitExit(), 0);
}
