#include "support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace quilex::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quilex-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void RecordingPacing::pause(std::chrono::milliseconds duration)
{
    std::lock_guard lock(mutex_);
    pauses_.push_back(static_cast<int>(duration.count()));
}

std::vector<int> RecordingPacing::pausesMs() const
{
    std::lock_guard lock(mutex_);
    return pauses_;
}

int RecordingPacing::totalMs() const
{
    std::lock_guard lock(mutex_);
    return std::accumulate(pauses_.begin(), pauses_.end(), 0);
}

void RecordingPacing::clear()
{
    std::lock_guard lock(mutex_);
    pauses_.clear();
}

std::string makeFifoDevice(const std::string& root, const std::string& name)
{
    const std::string dir = root + "/" + name;
    std::filesystem::create_directories(dir);
    for (const char* pipe : {"/Pipe00", "/Pipe01"}) {
        if (::mkfifo((dir + pipe).c_str(), 0600) != 0)
            throw std::runtime_error("mkfifo failed for " + dir + pipe);
    }
    return dir;
}

std::string simUsbLibrary()
{
    return std::string(QUILEX_LIB_DIR) + "/libquilex-sim-usb.so";
}

std::string incompleteUsbLibrary()
{
    return std::string(QUILEX_LIB_DIR) + "/libquilex-usb-incomplete.so";
}

std::string binPath(const std::string& program)
{
    return std::string(QUILEX_BIN_DIR) + "/" + program;
}

std::vector<std::uint8_t> bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

} // namespace quilex::test
