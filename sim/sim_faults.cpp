#include "sim_faults.h"

#include <charconv>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace quilex::sim {
namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Decimal, or hexadecimal with 0x.
std::optional<std::uint64_t> parseNumber(std::string_view s, std::uint64_t max)
{
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    std::uint64_t v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || v > max)
        return std::nullopt;
    return v;
}

bool parseTarget(std::string_view v, BlockTarget& t)
{
    if (v == "params") {
        t = {BlockTarget::Kind::Parameters, 0};
        return true;
    }
    const std::size_t colon = v.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view kind = v.substr(0, colon);
    const std::string_view index = v.substr(colon + 1);
    if (kind == "record") {
        const auto n = parseNumber(index, 2047);
        if (!n)
            return false;
        t = {BlockTarget::Kind::Record, static_cast<int>(*n)};
        return true;
    }
    if (kind == "material") {
        const auto n = parseNumber(index, 13);
        if (!n || *n < 1)
            return false;
        t = {BlockTarget::Kind::Material, static_cast<int>(*n)};
        return true;
    }
    return false;
}

} // namespace

std::optional<std::uint8_t> commandByName(std::string_view name)
{
    if (name == "version")
        return 0x01;
    if (name == "params")
        return 0x02;
    if (name == "record")
        return 0x03;
    if (name == "materials")
        return 0x04;
    if (name == "screen")
        return 0x08;
    if (name.size() == 2) {
        std::uint8_t code = 0;
        auto [ptr, ec] = std::from_chars(name.data(), name.data() + 2, code, 16);
        if (ec == std::errc() && ptr == name.data() + 2)
            return code;
    }
    return std::nullopt;
}

bool parseFaults(std::string_view text, FaultConfig& out, std::string& error)
{
    FaultConfig f;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos)
            comma = text.size();
        const std::string_view item = trim(text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty())
            continue;
        const std::size_t eq = item.find('=');
        const std::string_view key = trim(item.substr(0, eq));
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : trim(item.substr(eq + 1));
        const auto bad = [&](const char* expected) {
            error = "fault '" + std::string(item) + "': " + expected;
            return false;
        };
        const auto number = [&](std::uint64_t max) { return parseNumber(value, max); };
        if (key == "empty") {
            if (!value.empty() && value != "1")
                return bad("expected 'empty' or 'empty=1'");
            f.records = 0;
        } else if (key == "open_denied" || key == "claim_busy") {
            if (!value.empty() && value != "1")
                return bad("expected no value");
            (key == "open_denied" ? f.openDenied : f.claimBusy) = true;
        } else if (eq == std::string_view::npos) {
            return bad("expected key=value");
        } else if (key == "latency") {
            const auto n = number(60000);
            if (!n)
                return bad("expected milliseconds 0..60000");
            f.latencyMs = static_cast<int>(*n);
        } else if (key == "fail_every") {
            const auto n = number(1000000);
            if (!n || *n == 0)
                return bad("expected a count of 1 or more");
            f.failEvery = static_cast<int>(*n);
        } else if (key == "fail_at") {
            const auto n = number(1000000000);
            if (!n || *n == 0)
                return bad("expected a transfer number of 1 or more");
            f.failAt.push_back(static_cast<int>(*n));
        } else if (key == "short" || key == "length") {
            CommandValue cv;
            std::string_view amount = value;
            const std::size_t colon = value.find(':');
            if (colon != std::string_view::npos) {
                const auto code = commandByName(value.substr(0, colon));
                if (!code)
                    return bad("unknown command (version, params, record, materials, screen or a hex code)");
                cv.command = *code;
                amount = value.substr(colon + 1);
            } else if (key == "length") {
                return bad("expected length=COMMAND:VALUE, e.g. length=screen:0xFFFFFFFF");
            }
            const auto n = parseNumber(amount, 0xFFFFFFFFu);
            if (!n)
                return bad("expected a byte count (decimal or 0x hex, up to 0xFFFFFFFF)");
            cv.value = static_cast<std::uint32_t>(*n);
            (key == "short" ? f.shortReplies : f.lengths).push_back(cv);
        } else if (key == "chunk") {
            const auto n = number(1 << 20);
            if (!n || *n == 0)
                return bad("expected a byte count of 1 or more");
            f.chunkBytes = static_cast<int>(*n);
        } else if (key == "bad_marker" || key == "bad_crc") {
            BlockTarget t;
            if (!parseTarget(value, t))
                return bad("expected params, record:ORDINAL (0..2047) or material:NUMBER (1..13)");
            (key == "bad_marker" ? f.badMarker : f.badCrc).push_back(t);
        } else if (key == "silent_from") {
            const auto n = number(1000000000);
            if (!n || *n == 0)
                return bad("expected a transfer number of 1 or more");
            f.silentFrom = static_cast<int>(*n);
        } else if (key == "silent_ms") {
            const auto n = number(3600000);
            if (!n)
                return bad("expected milliseconds");
            f.silentMs = static_cast<int>(*n);
        } else if (key == "unplug_after") {
            const auto n = number(1000000000);
            if (!n || *n == 0)
                return bad("expected a transfer count of 1 or more");
            f.unplugAfter = static_cast<int>(*n);
        } else if (key == "vendor" || key == "product") {
            const auto n = number(0xFFFF);
            if (!n)
                return bad("expected an identifier 0..0xFFFF");
            (key == "vendor" ? f.vendor : f.product) = static_cast<std::uint16_t>(*n);
        } else if (key == "records") {
            const auto n = number(2048);
            if (!n)
                return bad("expected a count 0..2048");
            f.records = static_cast<int>(*n);
        } else if (key == "transcript") {
            if (value.empty())
                return bad("expected a file path");
            f.transcriptPath = std::string(value);
        } else {
            return bad("unknown key (see sim/README.md for the list)");
        }
    }
    out = std::move(f);
    return true;
}

TransferGate::TransferGate(const FaultConfig& faults) : faults_(faults) {}

TransferGate::Decision TransferGate::next()
{
    Decision d;
    if (unplugDue()) {
        d.outcome = Outcome::Gone;
        d.number = count_;
        return d;
    }
    d.number = ++count_;
    d.latencyMs = faults_.latencyMs;
    const int silentFrom = faults_.silentFrom > 0 ? faults_.silentFrom : (faults_.silentMs > 0 ? 1 : 0);
    if (silentFrom > 0 && count_ >= silentFrom) {
        const auto now = std::chrono::steady_clock::now();
        if (!silenceStarted_)
            silenceStarted_ = now;
        if (faults_.silentMs == 0 || now - *silenceStarted_ < std::chrono::milliseconds(faults_.silentMs)) {
            d.outcome = Outcome::Silent;
            d.latencyMs = 0;
            return d;
        }
    }
    if (faults_.failEvery > 0 && count_ % faults_.failEvery == 0)
        d.outcome = Outcome::Fail;
    for (int n : faults_.failAt)
        if (n == count_)
            d.outcome = Outcome::Fail;
    return d;
}

bool Transcript::open(const std::string& path, std::string& error)
{
    close();
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
        error = "transcript " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Transcript::close()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

std::uint64_t Transcript::nowMicroseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

void Transcript::transfer(char direction, const std::uint8_t* data, std::size_t length)
{
    if (!file_)
        return;
    std::string line = std::to_string(nowMicroseconds());
    line += ' ';
    line += direction;
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < length; ++i) {
        line += ' ';
        line += Hex[data[i] >> 4];
        line += Hex[data[i] & 0x0F];
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

void Transcript::note(const std::string& text)
{
    if (!file_)
        return;
    std::fprintf(file_, "# %llu %s\n", static_cast<unsigned long long>(nowMicroseconds()), text.c_str());
    std::fflush(file_);
}

} // namespace quilex::sim
