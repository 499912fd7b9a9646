// The simulated gauge's model: the bytes it answers with, checked against bytes written out
// by hand, its faults, and its image file reader.

#include "cp1251.h"
#include "gauge_blocks.h"
#include "gauge_image.h"
#include "gauge_model.h"
#include "sim_faults.h"

#include "link/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quilex::sim;
using Bytes = std::vector<std::uint8_t>;

namespace {

const char* const OneLineImage =
    "quilex-gauge-image 1\n"
    "record 2024-05-20 09:12:05 1 1 6 5920 12.50\n";

GaugeImage parsed(const std::string& text)
{
    GaugeImage image;
    std::string error;
    EXPECT_TRUE(parseImage(text, image, error)) << error;
    return image;
}

// Sends a command and collects the reply parts.
std::vector<Bytes> ask(GaugeModel& gauge, const Bytes& command)
{
    gauge.feed(command.data(), command.size());
    std::vector<Bytes> parts;
    while (gauge.pendingBytes() > 0)
        parts.push_back(gauge.takePart());
    return parts;
}

Bytes prefix(const Bytes& b, std::size_t n)
{
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(n, b.size())));
}

} // namespace

TEST(SimModel, ReplyLengthsAreLittleEndianAndBlocksFollowAsTheirOwnPart)
{
    GaugeModel driver(Transport::Driver, demoImage());
    GaugeModel usb(Transport::LibUsb, demoImage());

    auto params = ask(driver, {0x02, 0xFD});
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0], (Bytes{0x04, 0x01, 0x00, 0x00}));
    EXPECT_EQ(params[1].size(), 260u);

    params = ask(usb, {0x02, 0xFD});
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0], (Bytes{0x48, 0x29, 0x00, 0x00}));
    ASSERT_EQ(params[1].size(), 10568u);
    EXPECT_EQ(params[1][256], 0xFF); // the settings after the map
    EXPECT_EQ(params[1][10563], 0xFF);
    EXPECT_EQ(params[1][10564], 0xAA);
    EXPECT_EQ(params[1][10565], 0xAA);

    for (GaugeModel* g : {&driver, &usb}) {
        EXPECT_EQ(ask(*g, {0x04, 0xFB})[0], (Bytes{0xD4, 0x01, 0x00, 0x00}));
        EXPECT_EQ(ask(*g, {0x08, 0xF7})[0], (Bytes{0x00, 0x04, 0x00, 0x00}));
        const auto version = ask(*g, {0x01, 0xFE});
        ASSERT_EQ(version.size(), 2u);
        EXPECT_EQ(version[0], (Bytes{18, 0, 0, 0}));
        EXPECT_EQ(std::string(version[1].begin(), version[1].end()), "QX-1 firmware 1.07");
    }
}

TEST(SimModel, ParameterBlockMapsSlotsToBitsAndCountsTheArchive)
{
    // The demo archive has 300 measurements and a deleted one at slot 23.
    GaugeModel gauge(Transport::Driver, demoImage());
    const Bytes block = ask(gauge, {0x02, 0xFD})[1];
    EXPECT_EQ(prefix(block, 4), (Bytes{0xFF, 0xFF, 0x7F, 0xFF}));
    EXPECT_EQ(countOccupied(block.data(), block.size()), 300);
    EXPECT_TRUE(quilex::checkBlock(block.data(), block.size()));

    GaugeModel one(Transport::Driver, parsed(OneLineImage));
    Bytes expected(260, 0);
    expected[0] = 0x01;
    expected[256] = 0xAA;
    expected[257] = 0xAA;
    expected[258] = 0xAF;
    expected[259] = 0x0E;
    EXPECT_EQ(ask(one, {0x02, 0xFD})[1], expected);
}

TEST(SimModel, RecordBytesInBothLayouts)
{
    const GaugeImage image = parsed(OneLineImage);
    GaugeModel driver(Transport::Driver, image);
    GaugeModel usb(Transport::LibUsb, image);

    auto reply = ask(driver, {0x03, 0xFC, 0x00, 0x00});
    ASSERT_EQ(reply.size(), 2u);
    EXPECT_EQ(reply[0], (Bytes{0x14, 0x00, 0x00, 0x00}));
    EXPECT_EQ(reply[1], (Bytes{0x05, 0x0C, 0x09, 0x14, 0x05, 0x18, 0x01, 0x01, 0x05, 0x00, 0x00, 0x00, 0x20, 0x17,
                               0x00, 0x00, 0x00, 0x00, 0x48, 0x41}));

    reply = ask(usb, {0x03, 0xFC, 0x00, 0x00});
    ASSERT_EQ(reply.size(), 2u);
    EXPECT_EQ(reply[1], (Bytes{0x05, 0x0C, 0x09, 0x14, 0x05, 0x18, 0x01, 0x01, 0x05, 0x00, 0x20, 0x17, 0x00, 0x00,
                               0x48, 0x41, 0xAA, 0xAA, 0x16, 0x17}));
}

TEST(SimModel, RecordsAreFetchedByOrdinalNotBySlot)
{
    // Ordinal 23 of the demo archive sits in slot 24, after the deleted measurement.
    const GaugeImage image = demoImage();
    ASSERT_EQ(image.archive[23].slot, 24);
    GaugeModel gauge(Transport::LibUsb, image);
    const auto reply = ask(gauge, {0x03, 0xFC, 23, 0});
    const RecordBlock expected = encodeRecord(image.archive[23], Transport::LibUsb);
    EXPECT_EQ(reply[1], Bytes(expected.begin(), expected.end()));

    // 299 = 2B 01: the high byte of the ordinal counts.
    const RecordBlock last = encodeRecord(image.archive[299], Transport::LibUsb);
    EXPECT_EQ(ask(gauge, {0x03, 0xFC, 0x2B, 0x01})[1], Bytes(last.begin(), last.end()));

    // Past the end the gauge answers a zero length and nothing else.
    const auto none = ask(gauge, {0x03, 0xFC, 0x2C, 0x01});
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], (Bytes{0, 0, 0, 0}));
}

TEST(SimModel, MaterialRecordAndCyrillicNameFields)
{
    GaugeModel gauge(Transport::Driver, demoImage());
    const Bytes table = ask(gauge, {0x04, 0xFB})[1];
    ASSERT_EQ(table.size(), 468u);
    // Material 6, "сталь 1" / "steel 1", 5920 m/s.
    const Bytes steel(table.begin() + 5 * 36, table.begin() + 6 * 36);
    EXPECT_EQ(steel, (Bytes{0x05, 0x01, 0x07, 0xF1, 0xF2, 0xE0, 0xEB, 0xFC, 0x20, 0x31, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x07, 0x73, 0x74, 0x65, 0x65, 0x6C, 0x20, 0x31, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x20, 0x17, 0x00, 0x00, 0xAA, 0xAA, 0x10, 0x64}));

    // A 12-character name fills its field with no zero after it; a longer one is cut to 12.
    std::uint8_t field[13];
    std::fill(std::begin(field), std::end(field), 0x55);
    encodeNameField(field, "материал 1");
    EXPECT_EQ(Bytes(field, field + 13),
              (Bytes{0x0A, 0xEC, 0xE0, 0xF2, 0xE5, 0xF0, 0xE8, 0xE0, 0xEB, 0x20, 0x31, 0x00, 0x55}));
    encodeNameField(field, "ЁёЁёЁёЁёЁёЁёЁё");
    EXPECT_EQ(Bytes(field, field + 13),
              (Bytes{0x0C, 0xA8, 0xB8, 0xA8, 0xB8, 0xA8, 0xB8, 0xA8, 0xB8, 0xA8, 0xB8, 0xA8, 0xB8}));
}

TEST(SimModel, PutMaterialsReplacesTheTableTheNextReadReturns)
{
    GaugeModel gauge(Transport::LibUsb, demoImage());
    Bytes table(468);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(i * 7 + 3);

    EXPECT_TRUE(ask(gauge, {0x05, 0xFA}).empty());
    EXPECT_FALSE(gauge.idle());
    EXPECT_TRUE(ask(gauge, {0xD4, 0x01, 0x00, 0x00}).empty());
    for (std::size_t at = 0; at < table.size(); at += 64) {
        const std::size_t n = std::min<std::size_t>(64, table.size() - at);
        EXPECT_TRUE(ask(gauge, Bytes(table.begin() + static_cast<std::ptrdiff_t>(at),
                                     table.begin() + static_cast<std::ptrdiff_t>(at + n)))
                        .empty());
    }
    EXPECT_TRUE(gauge.idle());
    EXPECT_EQ(gauge.materialWrites(), 1);
    EXPECT_EQ(ask(gauge, {0x04, 0xFB})[1], table);

    // A length the gauge cannot take is dropped and the gauge listens for commands again.
    EXPECT_TRUE(ask(gauge, {0x05, 0xFA, 0xFF, 0xFF, 0xFF, 0xFF}).empty());
    EXPECT_EQ(ask(gauge, {0x08, 0xF7})[0], (Bytes{0x00, 0x04, 0x00, 0x00}));
    EXPECT_EQ(gauge.materialWrites(), 1);
}

TEST(SimModel, UnknownBytesAreDroppedOneByOneAndANewCommandForgetsUnreadOutput)
{
    GaugeModel gauge(Transport::Driver, demoImage());
    EXPECT_TRUE(ask(gauge, {0x07, 0xF8}).empty());       // no such command
    EXPECT_TRUE(ask(gauge, {0x01, 0xFF}).empty());       // wrong complement
    const auto reply = ask(gauge, {0xFF, 0x08, 0xF7});   // one stray byte, then a command
    ASSERT_EQ(reply.size(), 2u);
    EXPECT_EQ(reply[1].size(), 1024u);
    EXPECT_EQ(gauge.droppedBytes(), 5u);

    // A command split over two writes is still one command.
    const Bytes first{0x03, 0xFC}, second{0x01, 0x00};
    gauge.feed(first.data(), first.size());
    EXPECT_EQ(gauge.pendingBytes(), 0u);
    gauge.feed(second.data(), second.size());
    EXPECT_EQ(gauge.pendingBytes(), 24u);

    // The program gives up halfway through a reply and asks for something else.
    std::uint8_t four[4];
    EXPECT_EQ(gauge.read(four, 4), 4u);
    EXPECT_EQ(ask(gauge, {0x08, 0xF7})[0], (Bytes{0x00, 0x04, 0x00, 0x00}));
}

TEST(SimModel, ReadStopsAtTheEndOfTheCurrentPart)
{
    GaugeModel gauge(Transport::LibUsb, demoImage());
    const Bytes command{0x08, 0xF7};
    gauge.feed(command.data(), command.size());
    std::uint8_t buf[2000];
    EXPECT_EQ(gauge.read(buf, sizeof buf), 4u);
    EXPECT_EQ(gauge.read(buf, 1000), 1000u);
    EXPECT_EQ(gauge.read(buf, sizeof buf), 24u);
    EXPECT_EQ(gauge.read(buf, sizeof buf), 0u);
}

TEST(SimFaults, SpoiledMarkersAndCrcs)
{
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(parseFaults("bad_crc=record:1, bad_marker=params, bad_marker=material:13", f, error)) << error;
    GaugeModel gauge(Transport::LibUsb, demoImage(), f);

    const Bytes params = ask(gauge, {0x02, 0xFD})[1];
    EXPECT_EQ(params[10564], 0xAB);
    EXPECT_FALSE(quilex::blockMarkerOk(params.data(), params.size()));
    EXPECT_TRUE(quilex::blockCrcOk(params.data(), params.size())); // only the marker is wrong

    const Bytes r0 = ask(gauge, {0x03, 0xFC, 0, 0})[1];
    const Bytes r1 = ask(gauge, {0x03, 0xFC, 1, 0})[1];
    EXPECT_TRUE(quilex::checkBlock(r0.data(), r0.size()));
    EXPECT_TRUE(quilex::blockMarkerOk(r1.data(), r1.size()));
    EXPECT_FALSE(quilex::blockCrcOk(r1.data(), r1.size()));

    const Bytes table = ask(gauge, {0x04, 0xFB})[1];
    EXPECT_TRUE(quilex::checkBlock(table.data() + 11 * 36, 36));
    EXPECT_EQ(table[12 * 36 + 32], 0xAB);
}

TEST(SimFaults, AnnouncedLengthsAndShortReplies)
{
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(parseFaults("length=screen:0xFFFFFFFF,length=04:100,length=version:1000,short=params:10", f, error))
        << error;
    GaugeModel gauge(Transport::Driver, demoImage(), f);

    auto reply = ask(gauge, {0x08, 0xF7});
    EXPECT_EQ(reply[0], (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(reply[1].size(), 1024u); // what the program reads after cutting to the cap
    reply = ask(gauge, {0x04, 0xFB});
    EXPECT_EQ(reply[0], (Bytes{100, 0, 0, 0}));
    EXPECT_EQ(reply[1].size(), 100u);
    reply = ask(gauge, {0x01, 0xFE});
    EXPECT_EQ(reply[0], (Bytes{0xE8, 0x03, 0x00, 0x00}));
    ASSERT_EQ(reply[1].size(), 100u); // the text, padded with zeros to the cap
    EXPECT_EQ(reply[1][18], 0);
    reply = ask(gauge, {0x02, 0xFD});
    EXPECT_EQ(reply[0], (Bytes{0x04, 0x01, 0x00, 0x00}));
    EXPECT_EQ(reply[1].size(), 10u);
}

TEST(SimFaults, GateCountsTransfersForFailuresSilenceAndUnplugging)
{
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(parseFaults("fail_every=3,unplug_after=7,silent_from=6", f, error)) << error;
    TransferGate gate(f);
    std::vector<TransferGate::Outcome> seen;
    for (int i = 0; i < 8; ++i)
        seen.push_back(gate.next().outcome);
    using O = TransferGate::Outcome;
    EXPECT_EQ(seen, (std::vector<O>{O::Pass, O::Pass, O::Fail, O::Pass, O::Pass, O::Silent, O::Silent, O::Gone}));
    EXPECT_TRUE(gate.unplugDue());
}

TEST(SimFaults, ListParsing)
{
    FaultConfig f;
    std::string error;
    ASSERT_TRUE(parseFaults(" latency=5 , product=0x0202,vendor=1234,empty,,transcript=/tmp/t.txt,chunk=7", f, error));
    EXPECT_EQ(f.latencyMs, 5);
    EXPECT_EQ(f.product, 0x0202);
    EXPECT_EQ(f.vendor, 1234);
    EXPECT_EQ(f.records, 0);
    EXPECT_EQ(f.chunkBytes, 7);
    EXPECT_EQ(f.transcriptPath, "/tmp/t.txt");

    for (const char* bad : {"latncy=5", "fail_every=0", "product=0x10000", "bad_crc=record", "bad_crc=material:14",
                            "length=100", "length=nine:5", "short=screen:-1", "records=2049", "latency"}) {
        error.clear();
        EXPECT_FALSE(parseFaults(bad, f, error)) << bad;
        EXPECT_NE(error.find(std::string(bad).substr(0, 4)), std::string::npos) << error;
    }
}

TEST(SimCp1251, CyrillicSignsAndRejects)
{
    EXPECT_EQ(utf8ToCp1251("лёд №5").value(), "\xEB\xB8\xE4\x20\xB9\x35");
    EXPECT_EQ(utf8ToCp1251("АЯая").value(), "\xC0\xDF\xE0\xFF");
    EXPECT_EQ(cp1251ToUtf8("\xA8\xB8\xC0\xFF"), "ЁёАя");
    EXPECT_EQ(cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
    std::size_t bad = 99;
    EXPECT_FALSE(utf8ToCp1251("steel ä", &bad));
    EXPECT_EQ(bad, 6u);
    EXPECT_FALSE(utf8ToCp1251("\xD1"));            // cut short
    EXPECT_FALSE(utf8ToCp1251("\xC0\xAF"));        // overlong '/'
    EXPECT_FALSE(utf8ToCp1251("\xED\xA0\x80"));    // surrogate
    EXPECT_EQ(utf8Length("сталь 1"), 7u);
}

TEST(SimImage, ParsesMaterialsRecordsAndScreen)
{
    const GaugeImage image = parsed("\xEF\xBB\xBF# made by hand\r\n"
                                    "quilex-gauge-image 1\r\n"
                                    "firmware TEST 2\n"
                                    "material 13 | лёд | ice | -3980 | prefix 7F 80\n"
                                    "record 2000-02-29 23:59:59 255 0 13 65535 0.25\n"
                                    "text 0 0 1 1\n");
    EXPECT_EQ(image.firmware, "TEST 2");
    EXPECT_EQ(image.materials[12].nameRu, "лёд");
    EXPECT_EQ(image.materials[12].soundSpeed, -3980);
    EXPECT_EQ(image.materials[12].prefix, (std::array<std::uint8_t, 2>{0x7F, 0x80}));
    EXPECT_EQ(image.materials[0].nameEn, "teflon"); // the others stay as the factory left them
    ASSERT_EQ(image.archive.size(), 1u);
    EXPECT_EQ(image.archive[0].material, 12);
    EXPECT_EQ(image.archive[0].year, 0);
    // "1" in the top-left corner: the stem in column 2 (rows 0..6), the flag at row 1 and
    // the foot at row 6 in columns 1 and 3. Bit 0 of each byte is the top row.
    EXPECT_EQ(Bytes(image.screen.begin(), image.screen.begin() + 6), (Bytes{0x00, 0x42, 0x7F, 0x40, 0x00, 0x00}));
    EXPECT_EQ(std::count(image.screen.begin(), image.screen.end(), 0), 1021);

    std::string rows = "quilex-gauge-image 1\n";
    for (int y = 0; y < 64; ++y)
        rows += "row " + std::string(y == 9 ? "#" : ".") + std::string(126, '.') + (y == 63 ? "#" : ".") + "\n";
    const GaugeImage drawn = parsed(rows);
    EXPECT_EQ(drawn.screen[128], 0x02);          // column 0, row 9: band 1, bit 1
    EXPECT_EQ(drawn.screen[1023], 0x80);         // column 127, row 63
    EXPECT_EQ(std::count(drawn.screen.begin(), drawn.screen.end(), 0), 1022);
}

TEST(SimImage, ErrorsNameTheLine)
{
    const std::string head = "quilex-gauge-image 1\n";
    const std::string rec = "record 2024-05-20 09:12:05 1 1 6 5920 12.50\n";
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"", "line 1: the file is empty"},
        {"quilex-gauge-image 2\n", "line 1: format version '2'"},
        {"# c\nrecord 2024-05-20 09:12:05 1 1 6 5920 12.50\n", "line 2: expected 'quilex-gauge-image 1'"},
        {head + rec + "recrod x\n", "line 3: unknown keyword 'recrod'"},
        {head + "record 2023-02-29 09:12:05 1 1 6 5920 12.50\n", "line 2: record: date '2023-02-29' has no such day"},
        {head + "record 2024-05-20 24:00:00 1 1 6 5920 12.50\n", "line 2: record: time"},
        {head + "record 2024-05-20 09:12:05 1 1 14 5920 12.50\n", "line 2: record: material '14'"},
        {head + "record 2024-05-20 09:12:05 1 1 6 65536 12.50\n", "line 2: record: speed"},
        {head + "record 2024-05-20 09:12:05 1 1 6 5920 1e3\n", "line 2: record: thickness '1e3'"},
        {head + "record 2024-05-20 09:12:05 1 1 6 5920\n", "line 2: record: expected"},
        {head + "material 1 | тефлон | teflon | 1350\nmaterial 1 | a | b | 1\n", "line 3: material 1 given twice"},
        {head + "material 2 | полистирол-пенопласт | x | 1\n", "line 2: material: the Russian name has 20 characters"},
        {head + "material 2 | ü | x | 1\n", "line 2: material: the Russian name has a character outside"},
        {head + "material 2 | a | b | 12x\n", "line 2: material: speed '12x'"},
        {head + "material 2 | a | b\n", "line 2: material: expected"},
        {head + "firmware " + std::string(101, 'x') + "\n", "line 2: firmware text is 101 bytes"},
        {head + "row " + std::string(128, '#') + "\n", "line 2: the screen has 1 rows"},
        {head + "row " + std::string(127, '#') + "\n", "line 2: row: expected 128 characters"},
        {head + "text 0 0 1 ЖУК\n", "line 2: text: the screen font"},
        {head + "text 0 64 1 A\n", "line 2: text: X must be"},
        {head + "firmware \xC3\x28\n", "line 2: the text is not valid UTF-8"},
    };
    for (const Case& c : cases) {
        GaugeImage image;
        std::string error;
        EXPECT_FALSE(parseImage(c.text, image, error)) << c.message;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << "got: " << error;
    }

    std::string many = head;
    for (int i = 0; i < 2049; ++i)
        many += rec;
    GaugeImage image;
    std::string error;
    EXPECT_FALSE(parseImage(many, image, error));
    EXPECT_EQ(error, "line 2050: record: the gauge holds at most 2048 records");
}

TEST(SimImage, DemoGaugeIsFixedAndItsTextFormReadsBackTheSame)
{
    const GaugeImage a = demoImage();
    const GaugeImage b = demoImage();
    ASSERT_EQ(a.archive.size(), 300u);
    EXPECT_EQ(encodeParameterBlock(a.archive, Transport::LibUsb), encodeParameterBlock(b.archive, Transport::LibUsb));
    EXPECT_EQ(a.screen, b.screen);
    int lit = 0;
    for (std::uint8_t byte : a.screen)
        lit += __builtin_popcount(byte);
    EXPECT_GT(lit, 300); // a reading is on the screen

    const GaugeImage back = parsed(formatImage(a));
    EXPECT_EQ(encodeMaterialTable(back.materials), encodeMaterialTable(a.materials));
    ASSERT_EQ(back.archive.size(), a.archive.size());
    for (std::size_t i = 0; i < a.archive.size(); ++i)
        EXPECT_EQ(encodeRecord(back.archive[i], Transport::Driver), encodeRecord(a.archive[i], Transport::Driver)) << i;
    EXPECT_EQ(back.screen, a.screen);

    EXPECT_EQ(demoArchive(2048).back().slot, 2047);
    EXPECT_TRUE(demoArchive(0).empty());
}

TEST(SimImage, ExampleFileLoads)
{
    GaugeImage image;
    std::string error;
    ASSERT_TRUE(loadImageFile(QUILEX_SIM_SOURCE_DIR "/examples/demo-gauge.txt", image, error)) << error;
    EXPECT_EQ(image.archive.size(), 12u);
    EXPECT_EQ(image.materials[9].nameRu, "латунь");
    EXPECT_FALSE(loadImageFile("/nonexistent/gauge.txt", image, error));
    EXPECT_EQ(error, "/nonexistent/gauge.txt: cannot be opened");
}
