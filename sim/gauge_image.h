#pragma once
// What the simulated gauge holds: its firmware text, its 13 materials, its archive and the
// picture on its screen. Either the built-in demo gauge or an image file written by hand
// (the format is described in sim/README.md).

#include "gauge_font.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quilex::sim {

inline constexpr int MaterialSlots = 13;
inline constexpr int ArchiveSlots = 2048;
inline constexpr std::size_t VersionTextMax = 100;
inline constexpr std::size_t NameCharsMax = 12;
inline constexpr std::size_t ImageFileMaxBytes = 1 << 20;

struct Material {
    std::array<std::uint8_t, 2> prefix{};
    std::string nameRu; // UTF-8, encodable in Windows-1251, at most 12 characters
    std::string nameEn;
    std::int32_t soundSpeed = 0; // m/s
};

struct Measurement {
    std::uint8_t second = 0, minute = 0, hour = 0;
    std::uint8_t day = 1, month = 1, year = 0; // year after 2000
    std::uint8_t number = 0;
    std::uint8_t series = 0;
    std::uint8_t material = 0; // index 0..12 into the material table
    std::uint16_t soundSpeed = 0;
    float thickness = 0.0f; // mm
    std::uint16_t slot = 0; // place in the gauge's memory, 0..2047
};

struct GaugeImage {
    std::string firmware;                       // answer to the version command
    std::array<Material, MaterialSlots> materials;
    std::vector<Measurement> archive;           // in slot order, slots strictly increasing
    ScreenPicture screen{};
};

// The gauge's factory material table: the 13 names it ships with and their speeds of sound.
std::array<Material, MaterialSlots> factoryMaterials();

// A deterministic archive of `count` measurements (0..2048) over several days, series and
// materials, as an inspector would leave it after a week of work. Slots have a few gaps
// where measurements were deleted, as long as the memory has room for them.
std::vector<Measurement> demoArchive(int count);

// The screen showing a measurement: material and speed on top, the thickness large in the
// middle, series and number below. With no measurement it shows dashes.
ScreenPicture readingScreen(const Measurement* shown, const std::array<Material, MaterialSlots>& materials);

// The built-in demo gauge: factory materials, 300 measurements, the last one on screen.
GaugeImage demoImage();

// Parses an image file's text. On failure returns false and sets `error` to a message that
// starts with "line N: ".
bool parseImage(std::string_view text, GaugeImage& out, std::string& error);

// Reads and parses an image file (at most 1 MiB). Errors start with the path.
bool loadImageFile(const std::string& path, GaugeImage& out, std::string& error);

// Writes an image in the file format, so the demo gauge can serve as a template.
std::string formatImage(const GaugeImage& image);

} // namespace quilex::sim
