#include "support/sim_gauge.h"

#include "table/archive_columns.h"
#include "table/archive_rows.h"
#include "table/material_grid.h"
#include "exchange/bmtread_usb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quilex::test {

std::string transportName(Transport t)
{
    return t == Transport::Pipes ? "Pipes" : "Usb";
}

std::vector<TranscriptLine> readTranscript(const std::string& path)
{
    std::vector<TranscriptLine> lines;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) {
        if (text.empty() || text[0] == '#')
            continue;
        std::istringstream fields(text);
        TranscriptLine line;
        std::string direction;
        fields >> line.micros >> direction;
        line.direction = direction.empty() ? 0 : direction[0];
        for (std::string hex; fields >> hex;)
            line.bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::vector<std::uint8_t>> writesIn(const std::vector<TranscriptLine>& lines)
{
    std::vector<std::vector<std::uint8_t>> writes;
    for (const auto& line : lines)
        if (line.direction == 'W')
            writes.push_back(line.bytes);
    return writes;
}

SimGauge::SimGauge(Transport transport, const std::string& faults, const std::string& imagePath)
    : transport_(transport), driverRoot_(dir_.file("devices"))
{
    std::string allFaults = "transcript=" + transcriptPath();
    if (!faults.empty())
        allFaults += "," + faults;
    ::mkdir(driverRoot_.c_str(), 0700);
    if (transport == Transport::Pipes) {
        startPipes(allFaults, imagePath);
        return;
    }
    usb_ = ::dlopen(simUsbLibrary().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!usb_)
        throw std::runtime_error(std::string("cannot load the simulated gauge: ") + ::dlerror());
    auto configure = reinterpret_cast<int (*)(const char*, const char*)>(symbol("quilex_sim_configure"));
    if (configure(allFaults.c_str(), imagePath.c_str()) != 0) {
        auto lastError = reinterpret_cast<const char* (*)()>(symbol("quilex_sim_last_error"));
        throw std::runtime_error(std::string("the simulated gauge refused its set-up: ") + lastError());
    }
}

SimGauge::SimGauge(const SimGauge& sameFolder, const std::string& faults)
    : transport_(Transport::Pipes), driverRoot_(sameFolder.driverRoot_)
{
    startPipes("transcript=" + transcriptPath() + (faults.empty() ? "" : "," + faults), "");
}

void SimGauge::startPipes(const std::string& faults, const std::string& imagePath)
{
    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe failed");
    const std::string program = binPath("quilex-sim-pipes");
    std::vector<std::string> args{program, "--faults=" + faults};
    if (!imagePath.empty())
        args.push_back("--image=" + imagePath);
    args.push_back(driverRoot_);
    args.push_back("gauge");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + program);
    }
    // Wait for its "ready" line.
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    if (line.rfind("ready", 0) != 0)
        throw std::runtime_error("quilex-sim-pipes did not start: " + line);
}

SimGauge::~SimGauge()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    // The library stays loaded: the links of the test may still hold it.
}

void* SimGauge::symbol(const char* name) const
{
    void* s = usb_ ? ::dlsym(usb_, name) : nullptr;
    if (!s)
        throw std::runtime_error(std::string("the simulated gauge lacks ") + name);
    return s;
}

std::unique_ptr<ExchangeState> SimGauge::makeState(Pacing& pacing) const
{
    return std::make_unique<ExchangeState>(pacing, driverRoot_,
                                           transport_ == Transport::Usb ? simUsbLibrary()
                                                                        : std::string("/nonexistent/libusb.so"));
}

int SimGauge::materialWrites() const
{
    return reinterpret_cast<int (*)()>(symbol("quilex_sim_material_writes"))();
}

std::vector<std::uint8_t> SimGauge::materialTable() const
{
    std::vector<std::uint8_t> table(468);
    reinterpret_cast<int (*)(unsigned char*, int)>(symbol("quilex_sim_material_table"))(table.data(), 468);
    return table;
}

void SimGauge::unplug() const
{
    reinterpret_cast<void (*)()>(symbol("quilex_sim_unplug"))();
}

void SimGauge::replug() const
{
    reinterpret_cast<void (*)()>(symbol("quilex_sim_replug"))();
}

int SimGauge::usbOpenCalls() const
{
    return reinterpret_cast<int (*)()>(symbol("quilex_sim_usb_open_calls"))();
}

// ---------------------------------------------------------------------------------------

void Recorder::synchronize(const std::function<void()>& work)
{
    std::lock_guard lock(mutex_);
    work();
}

void Recorder::showErrorBox(const QString& caption, const QString& text)
{
    errors.push_back(caption + ": " + text);
}

void Recorder::archiveRead(const ArchiveDownload& read)
{
    download = read;
    archiveRows = quilex::archiveRows(read.records, read.names, languageIndex());
    if (archiveTable)
        putArchiveRows(*archiveTable, *archiveRows);
}

void Recorder::showMaterials(const Materials& read)
{
    materials = read;
    if (materialGrid)
        MaterialGridTarget(*materialGrid).showMaterials(read);
}

Result<Materials> Recorder::materialsToWrite(const MaterialNames& names)
{
    if (!materialGrid)
        return fail(QStringLiteral("no material grid"));
    return MaterialGridTarget(*materialGrid).materialsToWrite(names);
}

void Recorder::exchangeEnded(ExchangeOutcome o)
{
    outcome = o;
}

void Recorder::setGaugePosition(int percent)
{
    shows.push_back({state_.ExchangeMode.load(), percent});
    if (onShow)
        onShow(shows.back());
}

void Recorder::setGaugeVisible(bool visible)
{
    gaugeVisible = visible;
}

void Recorder::setDialogCaption(const QString& caption)
{
    if (captions.empty() || captions.back() != caption)
        captions.push_back(caption);
}

void Recorder::closeDialog()
{
    ++dialogCloses;
}

void Recorder::setLabelText(const QString& text)
{
    if (labels.empty() || labels.back() != text)
        labels.push_back(text);
}

std::vector<int> Recorder::modes() const
{
    std::vector<int> out;
    for (const auto& s : shows)
        if (out.empty() || out.back() != s.mode)
            out.push_back(s.mode);
    return out;
}

std::vector<int> Recorder::progresses() const
{
    std::vector<int> out;
    for (const auto& s : shows)
        if (out.empty() || out.back() != s.progress)
            out.push_back(s.progress);
    return out;
}

ExchangeOutcome runExchange(ExchangeState& state, Recorder& recorder, std::uint8_t firstMode, StringGrid* grid,
                            bool withDialog, int limitMs)
{
    state.ExchangeMode = firstMode;
    recorder.archiveTable = grid;
    recorder.materialGrid = grid;
    BMTreadUSB thread(state, recorder);
    thread.SetTargets(&recorder, withDialog ? &recorder : nullptr, &recorder, &recorder);
    thread.start();
    if (!thread.waitUntilEnded(static_cast<unsigned long>(limitMs))) {
        ADD_FAILURE() << "the exchange did not end within " << limitMs << " ms";
        state.CancelRequest = true;
        thread.waitUntilEnded();
    }
    return thread.outcome();
}

} // namespace quilex::test
