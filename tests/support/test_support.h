#pragma once
// Helpers shared by the tests: a scratch folder, a pacing clock that writes pauses down
// instead of sleeping, and paths of the programs and libraries of this build.

#include "link/pacing.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace quilex::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Records every pause and returns at once.
class RecordingPacing final : public Pacing {
public:
    void pause(std::chrono::milliseconds duration) override;
    std::vector<int> pausesMs() const;
    int totalMs() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<int> pauses_;
};

// Makes root/name/Pipe00 and Pipe01 as FIFOs; returns root/name.
std::string makeFifoDevice(const std::string& root, const std::string& name);

std::string simUsbLibrary();        // the simulated gauge's libusb face
std::string incompleteUsbLibrary(); // the same names but one
std::string binPath(const std::string& program);

std::vector<std::uint8_t> bytes(std::initializer_list<int> values);

} // namespace quilex::test
