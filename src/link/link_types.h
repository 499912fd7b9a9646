#pragma once
#include <cstdint>

namespace quilex {

// Transport of the open link.
enum class LinkKind : std::uint8_t { None = 0, DriverPipes = 1, LibUsb = 2 };

// Why the last link step did or did not work; shown by the progress display.
enum class LinkStatus : std::uint8_t { Ok = 0, NoLibrary = 1, NoDevice = 2, LinkError = 3, NoData = 4 };

} // namespace quilex
