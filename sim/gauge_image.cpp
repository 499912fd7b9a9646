#include "gauge_image.h"

#include "cp1251.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace quilex::sim {
namespace {

bool leapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : Days[month - 1];
}

// Small fixed-seed generator: the demo gauge is the same on every run.
class DemoNoise {
public:
    std::uint32_t next()
    {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 16) & 0x7FFF;
    }
    int between(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }

private:
    std::uint32_t state_ = 20240311u;
};

// One inspected object: a series on the gauge.
struct DemoObject {
    int material;     // index into the material table
    float nominal;    // mm
};

constexpr DemoObject DemoObjects[] = {
    {5, 12.50f}, // pipeline section, steel 1
    {6, 8.00f},  // storage tank wall, steel 2
    {8, 6.00f},  // aluminium deck plate
    {4, 18.00f}, // cast iron valve body
    {2, 5.00f},  // plexiglass window
    {7, 16.00f}, // boiler drum, steel 3
    {0, 3.00f},  // teflon liner
    {1, 10.00f}, // polystyrene panel
    {3, 4.00f},  // textolite board
};

std::string trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return std::string(s.substr(b, e - b));
}

std::vector<std::string> splitWords(std::string_view s)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i)
            words.emplace_back(s.substr(i, j - i));
        i = j;
    }
    return words;
}

template <typename T>
std::optional<T> parseInt(std::string_view s, T lo, T hi)
{
    T value{};
    if (s.empty())
        return std::nullopt;
    const char* first = s.data();
    if (*first == '+')
        return std::nullopt;
    auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

// A plain decimal number: digits, optionally a point and more digits.
std::optional<float> parseThickness(std::string_view s)
{
    std::size_t digits = 0, point = 0;
    for (char c : s) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++point;
        else
            return std::nullopt;
    }
    if (digits == 0 || point > 1 || s.front() == '.' || s.back() == '.' || s.size() > 12)
        return std::nullopt;
    float value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(value) || value > 10000.0f)
        return std::nullopt;
    return value;
}

class Parser {
public:
    explicit Parser(GaugeImage& out) : out_(out) {}

    bool run(std::string_view text, std::string& error);

private:
    bool fail(std::string message)
    {
        error_ = "line " + std::to_string(line_) + ": " + std::move(message);
        return false;
    }
    bool header(const std::vector<std::string>& w);
    bool firmware(std::string_view rest);
    bool material(std::string_view rest);
    bool record(const std::vector<std::string>& w);
    bool row(const std::vector<std::string>& w);
    bool screenText(std::string_view rest);
    bool name(std::string field, const char* which, std::string& out);

    GaugeImage& out_;
    std::string error_;
    int line_ = 0;
    bool sawHeader_ = false;
    bool sawFirmware_ = false;
    std::array<bool, MaterialSlots> sawMaterial_{};
    int rows_ = 0;
    bool sawText_ = false;
    ScreenPicture textLayer_{};
};

bool Parser::run(std::string_view text, std::string& error)
{
    out_ = GaugeImage{};
    out_.firmware = "QX-1 firmware 1.07";
    out_.materials = factoryMaterials();
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    std::size_t pos = 0;
    bool ok = true;
    while (ok && pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        if (raw.size() > 4096) {
            ok = fail("line is longer than 4096 bytes");
            break;
        }
        for (std::size_t i = 0; i < raw.size();) {
            char32_t ch = 0;
            const std::size_t len = decodeUtf8(raw, i, ch);
            if (len == 0 || (ch < 0x20 && ch != '\t')) {
                ok = fail(len == 0 ? "the text is not valid UTF-8" : "control character in the line");
                break;
            }
            i += len;
        }
        if (!ok)
            break;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> words = splitWords(line);
        const std::string& key = words[0];
        const std::string_view rest = std::string_view(line).substr(key.size());
        if (!sawHeader_) {
            ok = header(words);
            continue;
        }
        if (key == "firmware")
            ok = firmware(rest);
        else if (key == "material")
            ok = material(rest);
        else if (key == "record")
            ok = record(words);
        else if (key == "row")
            ok = row(words);
        else if (key == "text")
            ok = screenText(rest);
        else if (key == "quilex-gauge-image")
            ok = fail("the format line may appear only once");
        else
            ok = fail("unknown keyword '" + key + "' (expected firmware, material, record, row or text)");
    }
    if (ok && !sawHeader_) {
        line_ = std::max(line_, 1);
        ok = fail("the file is empty: it must start with 'quilex-gauge-image 1'");
    }
    if (ok && rows_ != 0 && rows_ != ScreenHeight) {
        ok = fail("the screen has " + std::to_string(rows_) + " rows; it needs exactly 64 or none");
    }
    if (!ok) {
        error = error_;
        return false;
    }
    if (rows_ == 0 && !sawText_)
        out_.screen = readingScreen(out_.archive.empty() ? nullptr : &out_.archive.back(), out_.materials);
    for (std::size_t i = 0; i < out_.screen.size(); ++i)
        out_.screen[i] = static_cast<std::uint8_t>(out_.screen[i] | textLayer_[i]);
    return true;
}

bool Parser::header(const std::vector<std::string>& w)
{
    if (w[0] != "quilex-gauge-image")
        return fail("expected 'quilex-gauge-image 1' as the first line, found '" + w[0] + "'");
    if (w.size() != 2)
        return fail("the format line is 'quilex-gauge-image 1'");
    if (w[1] != "1")
        return fail("format version '" + w[1] + "' is not supported (only 1)");
    sawHeader_ = true;
    return true;
}

bool Parser::firmware(std::string_view rest)
{
    if (sawFirmware_)
        return fail("firmware given twice");
    const std::string value = trim(rest);
    if (value.empty())
        return fail("firmware needs a text");
    if (value.size() > VersionTextMax)
        return fail("firmware text is " + std::to_string(value.size()) + " bytes; at most 100");
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return fail("firmware text must be printable ASCII");
    sawFirmware_ = true;
    out_.firmware = value;
    return true;
}

bool Parser::name(std::string field, const char* which, std::string& out)
{
    if (field.empty())
        return fail(std::string("material: the ") + which + " name is empty");
    std::size_t bad = 0;
    if (!utf8ToCp1251(field, &bad))
        return fail(std::string("material: the ") + which + " name has a character outside Windows-1251 at byte "
                    + std::to_string(bad + 1));
    const std::size_t chars = utf8Length(field);
    if (chars > NameCharsMax)
        return fail(std::string("material: the ") + which + " name has " + std::to_string(chars)
                    + " characters; at most 12");
    out = std::move(field);
    return true;
}

// material N | Russian name | English name | speed [| prefix XX XX]
bool Parser::material(std::string_view rest)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = rest.find('|', start);
        fields.push_back(trim(rest.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start)));
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    if (fields.size() != 4 && fields.size() != 5)
        return fail("material: expected 'material N | Russian name | English name | speed [| prefix XX XX]'");
    const auto number = parseInt<int>(fields[0], 1, MaterialSlots);
    if (!number)
        return fail("material: number '" + fields[0] + "' is not 1..13");
    const std::size_t k = static_cast<std::size_t>(*number - 1);
    if (sawMaterial_[k])
        return fail("material " + fields[0] + " given twice");
    Material m = out_.materials[k];
    if (!name(fields[1], "Russian", m.nameRu) || !name(fields[2], "English", m.nameEn))
        return false;
    const auto speed = parseInt<std::int32_t>(fields[3], INT32_MIN, INT32_MAX);
    if (!speed)
        return fail("material: speed '" + fields[3] + "' is not a whole number (signed 32-bit)");
    m.soundSpeed = *speed;
    if (fields.size() == 5) {
        const std::vector<std::string> w = splitWords(fields[4]);
        if (w.size() != 3 || w[0] != "prefix")
            return fail("material: the fifth field is 'prefix XX XX' (two hex bytes)");
        for (std::size_t i = 0; i < 2; ++i) {
            std::uint8_t byte = 0;
            auto [ptr, ec] = std::from_chars(w[i + 1].data(), w[i + 1].data() + w[i + 1].size(), byte, 16);
            if (ec != std::errc() || ptr != w[i + 1].data() + w[i + 1].size() || w[i + 1].size() != 2)
                return fail("material: prefix byte '" + w[i + 1] + "' is not two hex digits");
            m.prefix[i] = byte;
        }
    }
    sawMaterial_[k] = true;
    out_.materials[k] = std::move(m);
    return true;
}

// record YYYY-MM-DD HH:MM:SS number series material speed thickness
bool Parser::record(const std::vector<std::string>& w)
{
    if (w.size() != 8)
        return fail("record: expected 'record YYYY-MM-DD HH:MM:SS number series material speed thickness'");
    if (out_.archive.size() >= static_cast<std::size_t>(ArchiveSlots))
        return fail("record: the gauge holds at most 2048 records");
    Measurement m;
    const std::string& d = w[1];
    if (d.size() != 10 || d[4] != '-' || d[7] != '-')
        return fail("record: date '" + d + "' is not YYYY-MM-DD");
    const auto year = parseInt<int>(std::string_view(d).substr(0, 4), 2000, 2255);
    const auto month = parseInt<int>(std::string_view(d).substr(5, 2), 1, 12);
    if (!year || !month)
        return fail("record: date '" + d + "': the year must be 2000..2255 and the month 1..12");
    const auto day = parseInt<int>(std::string_view(d).substr(8, 2), 1, daysInMonth(*year, *month));
    if (!day)
        return fail("record: date '" + d + "' has no such day");
    const std::string& t = w[2];
    if (t.size() != 8 || t[2] != ':' || t[5] != ':')
        return fail("record: time '" + t + "' is not HH:MM:SS");
    const auto hour = parseInt<int>(std::string_view(t).substr(0, 2), 0, 23);
    const auto minute = parseInt<int>(std::string_view(t).substr(3, 2), 0, 59);
    const auto second = parseInt<int>(std::string_view(t).substr(6, 2), 0, 59);
    if (!hour || !minute || !second)
        return fail("record: time '" + t + "' is out of range");
    const auto number = parseInt<int>(w[3], 0, 255);
    if (!number)
        return fail("record: number '" + w[3] + "' is not 0..255");
    const auto series = parseInt<int>(w[4], 0, 255);
    if (!series)
        return fail("record: series '" + w[4] + "' is not 0..255");
    const auto material = parseInt<int>(w[5], 1, MaterialSlots);
    if (!material)
        return fail("record: material '" + w[5] + "' is not 1..13");
    const auto speed = parseInt<int>(w[6], 0, 65535);
    if (!speed)
        return fail("record: speed '" + w[6] + "' is not 0..65535");
    const auto thickness = parseThickness(w[7]);
    if (!thickness)
        return fail("record: thickness '" + w[7] + "' is not a decimal number like 12.50");
    m.year = static_cast<std::uint8_t>(*year - 2000);
    m.month = static_cast<std::uint8_t>(*month);
    m.day = static_cast<std::uint8_t>(*day);
    m.hour = static_cast<std::uint8_t>(*hour);
    m.minute = static_cast<std::uint8_t>(*minute);
    m.second = static_cast<std::uint8_t>(*second);
    m.number = static_cast<std::uint8_t>(*number);
    m.series = static_cast<std::uint8_t>(*series);
    m.material = static_cast<std::uint8_t>(*material - 1);
    m.soundSpeed = static_cast<std::uint16_t>(*speed);
    m.thickness = *thickness;
    m.slot = static_cast<std::uint16_t>(out_.archive.size());
    out_.archive.push_back(m);
    return true;
}

bool Parser::row(const std::vector<std::string>& w)
{
    if (rows_ >= ScreenHeight)
        return fail("row: the screen has only 64 rows");
    if (w.size() != 2 || w[1].size() != static_cast<std::size_t>(ScreenWidth))
        return fail("row: expected 128 characters of '#' (ink) and '.' (background)");
    for (int x = 0; x < ScreenWidth; ++x) {
        const char c = w[1][static_cast<std::size_t>(x)];
        if (c != '#' && c != '.')
            return fail(std::string("row: character '") + c + "' at column " + std::to_string(x + 1)
                        + " is neither '#' nor '.'");
        setPixel(out_.screen, x, rows_, c == '#');
    }
    ++rows_;
    return true;
}

// text X Y SCALE words...
bool Parser::screenText(std::string_view rest)
{
    const std::vector<std::string> w = splitWords(rest);
    if (w.size() < 4)
        return fail("text: expected 'text X Y SCALE words'");
    const auto x = parseInt<int>(w[0], 0, ScreenWidth - 1);
    const auto y = parseInt<int>(w[1], 0, ScreenHeight - 1);
    const auto scale = parseInt<int>(w[2], 1, 4);
    if (!x || !y || !scale)
        return fail("text: X must be 0..127, Y 0..63 and SCALE 1..4");
    // The words keep their own spacing: take the rest of the line after SCALE.
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        at = rest.find(w[static_cast<std::size_t>(i)], at) + w[static_cast<std::size_t>(i)].size();
    }
    const std::string words = trim(rest.substr(at));
    if (!fontCovers(words))
        return fail("text: the screen font has digits, letters, space and . , - : / = % + ( ) only");
    drawText(textLayer_, *x, *y, *scale, words);
    sawText_ = true;
    return true;
}

// The gauge writes its reading with a point, whatever locale the process that simulates it
// runs under.
std::string formatThickness(float mm)
{
    char buf[32];
    const auto written = std::to_chars(buf, buf + sizeof buf, static_cast<double>(mm), std::chars_format::fixed, 2);
    return written.ec == std::errc() ? std::string(buf, written.ptr) : std::string("0.00");
}

} // namespace

std::array<Material, MaterialSlots> factoryMaterials()
{
    struct Entry {
        const char* ru;
        const char* en;
        std::int32_t speed;
    };
    static constexpr Entry Factory[MaterialSlots] = {
        {"тефлон", "teflon", 1350},
        {"полистирол", "polystyrene", 2350},
        {"плексиглаз", "pleksiglaz", 2670},
        {"текстолит", "textolite", 2900},
        {"чугун", "cast iron", 4600},
        {"сталь 1", "steel 1", 5920},
        {"сталь 2", "steel 2", 5900},
        {"сталь 3", "steel 3", 5960},
        {"алюминий", "aluminium", 6300},
        {"материал 1", "material 1", 5000},
        {"материал 2", "material 2", 4000},
        {"материал 3", "material 3", 3000},
        {"материал 4", "material 4", 2000},
    };
    std::array<Material, MaterialSlots> table;
    for (std::size_t k = 0; k < table.size(); ++k) {
        table[k].prefix = {static_cast<std::uint8_t>(k), 0x01};
        table[k].nameRu = Factory[k].ru;
        table[k].nameEn = Factory[k].en;
        table[k].soundSpeed = Factory[k].speed;
    }
    return table;
}

std::vector<Measurement> demoArchive(int count)
{
    count = std::clamp(count, 0, ArchiveSlots);
    const std::array<Material, MaterialSlots> materials = factoryMaterials();
    std::vector<Measurement> archive;
    archive.reserve(static_cast<std::size_t>(count));
    DemoNoise noise;
    int year = 2024, month = 3, day = 11; // a Monday
    int clock = 8 * 3600 + 30 * 60;
    int gaps = ArchiveSlots - count;
    int slot = 0;
    std::array<int, std::size(DemoObjects)> numbers{};
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % 50 == 0) { // the next working day
            day += (i / 50) % 5 == 0 ? 3 : 1;
            while (day > daysInMonth(year, month)) {
                day -= daysInMonth(year, month);
                if (++month > 12) {
                    month = 1;
                    ++year;
                }
            }
            clock = 8 * 3600 + noise.between(15, 45) * 60;
        } else if (i > 0 && i % 25 == 0) {
            clock += noise.between(20, 60) * 60; // walking to the next object
        } else if (i > 0) {
            clock += noise.between(40, 180);
        }
        if (clock > 23 * 3600)
            clock = 23 * 3600;
        const std::size_t object = static_cast<std::size_t>((i / 25) % static_cast<int>(std::size(DemoObjects)));
        const DemoObject& o = DemoObjects[object];
        Measurement m;
        m.year = static_cast<std::uint8_t>(year - 2000);
        m.month = static_cast<std::uint8_t>(month);
        m.day = static_cast<std::uint8_t>(day);
        m.hour = static_cast<std::uint8_t>(clock / 3600);
        m.minute = static_cast<std::uint8_t>(clock / 60 % 60);
        m.second = static_cast<std::uint8_t>(clock % 60);
        numbers[object] = numbers[object] % 255 + 1;
        m.number = static_cast<std::uint8_t>(numbers[object]);
        m.series = static_cast<std::uint8_t>(object + 1);
        m.material = static_cast<std::uint8_t>(o.material);
        // Now and then the inspector calibrates on a sample and the speed moves a little.
        const int speedShift = noise.between(0, 9) == 0 ? noise.between(-20, 20) : 0;
        m.soundSpeed = static_cast<std::uint16_t>(materials[static_cast<std::size_t>(o.material)].soundSpeed + speedShift);
        // Wall loss of up to 6 %, a spot of corrosion every so often.
        int hundredths = static_cast<int>(std::lround(o.nominal * 100.0f)) - noise.between(0, 3 * static_cast<int>(o.nominal));
        if (noise.between(0, 29) == 0)
            hundredths -= noise.between(20, 150);
        m.thickness = static_cast<float>(std::max(hundredths, 10)) / 100.0f;
        if (gaps > 0 && i % 47 == 23) { // a deleted measurement left its slot empty
            ++slot;
            --gaps;
        }
        m.slot = static_cast<std::uint16_t>(slot++);
        archive.push_back(m);
    }
    return archive;
}

ScreenPicture readingScreen(const Measurement* shown, const std::array<Material, MaterialSlots>& materials)
{
    ScreenPicture screen{};
    std::string top = "NO DATA";
    std::string reading = "--.--";
    std::string bottom;
    if (shown) {
        const Material& m = materials[shown->material % MaterialSlots];
        top = "MAT " + std::to_string(shown->material + 1);
        if (fontCovers(m.nameEn)) {
            top = m.nameEn;
            for (char& c : top)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
        }
        top += "  " + std::to_string(shown->soundSpeed) + " m/s";
        reading = formatThickness(shown->thickness);
        bottom = "SER " + std::to_string(shown->series) + "  NO " + std::to_string(shown->number);
    }
    drawText(screen, 1, 1, 1, top);
    for (int x = 0; x < ScreenWidth; ++x)
        setPixel(screen, x, 10);
    const std::string big = reading + " mm";
    drawText(screen, std::max(0, (ScreenWidth - textWidth(big, 2)) / 2), 22, 2, big);
    for (int x = 0; x < ScreenWidth; ++x)
        setPixel(screen, x, 52);
    drawText(screen, 1, 55, 1, bottom);
    return screen;
}

GaugeImage demoImage()
{
    GaugeImage image;
    image.firmware = "QX-1 firmware 1.07";
    image.materials = factoryMaterials();
    image.archive = demoArchive(300);
    image.screen = readingScreen(&image.archive.back(), image.materials);
    return image;
}

bool parseImage(std::string_view text, GaugeImage& out, std::string& error)
{
    GaugeImage image;
    Parser parser(image);
    if (!parser.run(text, error))
        return false;
    out = std::move(image);
    return true;
}

bool loadImageFile(const std::string& path, GaugeImage& out, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string text;
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        text.append(buf, static_cast<std::size_t>(in.gcount()));
        if (text.size() > ImageFileMaxBytes) {
            error = path + ": larger than 1 MiB, not a gauge image";
            return false;
        }
    }
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    std::string message;
    if (!parseImage(text, out, message)) {
        error = path + ": " + message;
        return false;
    }
    return true;
}

std::string formatImage(const GaugeImage& image)
{
    std::ostringstream out;
    out << "quilex-gauge-image 1\n";
    out << "firmware " << image.firmware << "\n";
    for (std::size_t k = 0; k < image.materials.size(); ++k) {
        const Material& m = image.materials[k];
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%02X %02X", m.prefix[0], m.prefix[1]);
        out << "material " << k + 1 << " | " << m.nameRu << " | " << m.nameEn << " | " << m.soundSpeed
            << " | prefix " << prefix << "\n";
    }
    for (const Measurement& r : image.archive) {
        char line[128];
        std::snprintf(line, sizeof line, "record %04d-%02d-%02d %02d:%02d:%02d %d %d %d %d %s\n", 2000 + r.year,
                      r.month, r.day, r.hour, r.minute, r.second, r.number, r.series, r.material + 1,
                      r.soundSpeed, formatThickness(r.thickness).c_str());
        out << line;
    }
    for (int y = 0; y < ScreenHeight; ++y) {
        out << "row ";
        for (int x = 0; x < ScreenWidth; ++x)
            out << (pixelAt(image.screen, x, y) ? '#' : '.');
        out << "\n";
    }
    return out.str();
}

} // namespace quilex::sim
