// Saves that cannot be made, on real file systems: a project, a workbook and the screen
// bitmap (through the screenshot window) into a read-only folder, onto a full disk, onto a
// path that is a folder or lies under a file, and over a file that someone holds open. A save
// that fails says so in the language in use and loses nothing: the earlier file stays byte
// for byte, no scrap of the new one is left beside it, and the table is not touched. The
// file held open is replaced by a whole new one while its holder still reads the old bytes.

#include "table/archive_columns.h"
#include "table/project_file.h"
#include "base/texts.h"
#include "export/report.h"
#include "export/spreadsheet_export.h"
#include "support/sim_gauge.h"
#include "windows/screenshot_window.h"
#include "windows/windows_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>

using namespace quilex;
using namespace quilex::test;

namespace {

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

enum class Writer { Project, Workbook, Bitmap };
enum class Place { ReadOnlyFolder, FullDisk, FullDevice, PathIsAFolder, UnderAFile, OpenElsewhere };

const char* writerName(Writer w)
{
    switch (w) {
    case Writer::Project: return "Project";
    case Writer::Workbook: return "Workbook";
    case Writer::Bitmap: return "Bitmap";
    }
    return "?";
}

const char* placeName(Place p)
{
    switch (p) {
    case Place::ReadOnlyFolder: return "ReadOnlyFolder";
    case Place::FullDisk: return "FullDisk";
    case Place::FullDevice: return "FullDevice";
    case Place::PathIsAFolder: return "PathIsAFolder";
    case Place::UnderAFile: return "UnderAFile";
    case Place::OpenElsewhere: return "OpenElsewhere";
    }
    return "?";
}

struct Cell {
    Writer writer;
    Place place;
    std::uint8_t language;
};

std::ostream& operator<<(std::ostream& out, const Cell& c)
{
    return out << writerName(c.writer) << "/" << placeName(c.place) << "/" << (c.language ? "en" : "ru");
}

std::vector<Cell> allCells()
{
    std::vector<Cell> cells;
    for (Writer w : {Writer::Project, Writer::Workbook, Writer::Bitmap})
        for (Place p : {Place::ReadOnlyFolder, Place::FullDisk, Place::FullDevice, Place::PathIsAFolder,
                        Place::UnderAFile, Place::OpenElsewhere})
            for (std::uint8_t language : {LanguageRussian, LanguageEnglish})
                cells.push_back({w, p, language});
    return cells;
}

// ---------------------------------------------------------------------------------------
// Files

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::set<std::string> entriesOf(const std::string& folder)
{
    std::set<std::string> names;
    for (const QString& name :
         QDir(QString::fromStdString(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        names.insert(name.toStdString());
    return names;
}

// Bytes no writer of ours makes, so that any change shows.
std::string earlierBytes()
{
    std::string bytes = "the earlier file, which a failed save must leave as it is\n";
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    return bytes;
}

// A tmpfs of its own at folder, unmounted again at the end.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder, const char* size = "size=64k") : folder_(folder)
    {
        ::mkdir(folder.c_str(), 0755);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, size) == 0;
        error_ = mounted_ ? 0 : errno;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    std::string why() const { return std::strerror(error_); }
    bool makeReadOnly() { return ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }
    // Fills what is left with one file; true when the disk refused the last byte for want
    // of space.
    bool fill(const std::string& name)
    {
        const int fd = ::open((folder_ + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const std::string block(4096, 'x');
        int error = 0;
        for (std::size_t size = block.size(); size > 0 && error == 0;) {
            if (::write(fd, block.data(), size) < 0) {
                if (errno != ENOSPC)
                    error = errno;
                else if (size == 1)
                    error = ENOSPC;
                else
                    size /= 2; // what is left of the last page
            }
        }
        ::close(fd);
        return error == ENOSPC;
    }

private:
    std::string folder_;
    bool mounted_ = false;
    int error_ = 0;
};

// ---------------------------------------------------------------------------------------
// The three writers, each returning the message the user is shown (none on success).

StringGrid archiveTable()
{
    StringGrid table;
    writeArchiveHeader(table, 0);
    // Large enough that none of the files fits into the last page of a full disk.
    table.setRowCount(301);
    for (int row = 1; row <= 300; ++row)
        table.setRow(row, {QString::number(row), QStringLiteral("сталь %1").arg(row % 7), "5920",
                           QStringLiteral("%1,%2").arg(row % 50).arg(row % 100, 2, 10, QLatin1Char('0')),
                           QString::number(row % 9), QString::number(row % 4), "20.05.2024", "09:12:05"});
    return table;
}

bool sameCells(const StringGrid& a, const StringGrid& b)
{
    if (a.colCount() != b.colCount() || a.rowCount() != b.rowCount())
        return false;
    for (int row = 0; row < a.rowCount(); ++row)
        if (a.row(row) != b.row(row))
            return false;
    return true;
}

bool sameGrid(const StringGrid& a, const StringGrid& b)
{
    return sameCells(a, b) && a.fixedRows() == b.fixedRows() && a.fixedCols() == b.fixedCols();
}

// The screenshot window with the simulated gauge behind it, saving every picture to a file.
class BitmapWriter {
public:
    BitmapWriter() : state_(gauge_.makeState(pacing_)), runner_(*state_), form_(runner_)
    {
        form_.Timer1->setInterval(20);
    }

    // Downloads a picture and saves it to path; the message box the window shows, if any.
    std::optional<ModalBoxWatcher::Box> save(const QString& path)
    {
        form_.pictureFileDialog = [path](QWidget*, const QString&) { return path; };
        if (!form_.CheckBox1->isChecked())
            form_.CheckBox1->click();
        form_.show();
        ModalBoxWatcher boxes;
        QTest::mouseClick(form_.Button1, Qt::LeftButton);
        EXPECT_TRUE(waitFor([&] { return !form_.downloading(); }));
        QTest::qWait(50); // time for a box to open and be answered
        EXPECT_LE(boxes.boxes.size(), 1u);
        if (boxes.boxes.empty())
            return std::nullopt;
        return boxes.boxes.front();
    }
    const TForm5& form() const { return form_; }

private:
    RecordingPacing pacing_;
    SimGauge gauge_{Transport::Usb};
    std::unique_ptr<ExchangeState> state_;
    ExchangeRunner runner_;
    TForm5 form_;
};

struct Saved {
    std::optional<QString> message;
    QString caption; // of the bitmap's box
};

std::optional<QString> messageOf(const Result<void>& result)
{
    return result ? std::nullopt : std::optional<QString>(result.error());
}

Saved save(Writer writer, const StringGrid& table, const std::string& path, std::uint8_t language,
           BitmapWriter* bitmaps)
{
    const QString target = QString::fromStdString(path);
    switch (writer) {
    case Writer::Project:
        return {messageOf(writeProjectFile(table, target, language)), {}};
    case Writer::Workbook:
        return {messageOf(ExportToSpreadsheet(table, target, QStringLiteral("Archive"), QLocale(QLocale::Russian))), {}};
    case Writer::Bitmap: {
        auto box = bitmaps->save(target);
        if (!box)
            return {};
        return {box->text, box->caption};
    }
    }
    return {};
}

// What each writer says when it cannot save, in each language.
void expectMessage(const Cell& cell, const Saved& saved, const std::string& path)
{
    ASSERT_TRUE(saved.message.has_value()) << "the save was reported as done";
    const QString& m = *saved.message;
    const bool english = cell.language == LanguageEnglish;
    switch (cell.writer) {
    case Writer::Project:
        EXPECT_TRUE(m.startsWith(english ? QStringLiteral("The project \"") : QStringLiteral("Проект «"))) << m.toStdString();
        EXPECT_TRUE(m.contains(english ? QStringLiteral("was not saved") : QStringLiteral("не сохранён"))) << m.toStdString();
        EXPECT_TRUE(m.contains(QString::fromStdString(path))) << m.toStdString();
        break;
    case Writer::Workbook:
        EXPECT_EQ(m, english ? QStringLiteral("Export of the data - Error !!!") : QStringLiteral("Экспорт данных - Ошибка !!!"));
        break;
    case Writer::Bitmap:
        EXPECT_EQ(saved.caption, english ? QStringLiteral("Error") : QStringLiteral("Ошибка"));
        EXPECT_EQ(m, (english ? QStringLiteral("Cannot write the file %1") : QStringLiteral("Не удалось записать файл %1"))
                         .arg(QString::fromStdString(path)));
        break;
    }
}

// The new file is whole: it reads back as what was written.
void expectWholeFile(Writer writer, const std::string& path, const StringGrid& table)
{
    const std::string bytes = readAll(path);
    switch (writer) {
    case Writer::Project: {
        StringGrid back(1, 1, 0, 0);
        EXPECT_TRUE(readProjectFile(QString::fromStdString(path), back, 1).ok());
        EXPECT_TRUE(sameCells(back, table));
        break;
    }
    case Writer::Workbook:
        // A zip archive that ends in its central directory's end record.
        ASSERT_GT(bytes.size(), 22u);
        EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
        // (no archive comment is written, so the end record is the last 22 bytes)
        EXPECT_EQ(bytes.rfind(std::string("PK\x05\x06", 4)), bytes.size() - 22);
        break;
    case Writer::Bitmap: {
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes.substr(0, 2), "BM");
        std::uint32_t size = 0;
        for (int i = 5; i >= 2; --i)
            size = (size << 8) | std::uint8_t(bytes[std::size_t(i)]);
        EXPECT_EQ(size, bytes.size());
        EXPECT_EQ(QImage(QString::fromStdString(path), "BMP").size(), QSize(132, 68));
        break;
    }
    }
}

class DiskFault : public ::testing::TestWithParam<Cell> {
protected:
    void SetUp() override { setLanguageIndex(GetParam().language); }
    void TearDown() override { setLanguageIndex(LanguageRussian); }
    TempDir scratch;
};

} // namespace

TEST_P(DiskFault, FailsWithAMessageAndLosesNothing)
{
    const Cell& cell = GetParam();
    const StringGrid table = archiveTable();
    const StringGrid tableBefore = table;
    std::unique_ptr<BitmapWriter> bitmaps;
    if (cell.writer == Writer::Bitmap)
        bitmaps = std::make_unique<BitmapWriter>();

    const std::string folder = scratch.file("place");
    std::unique_ptr<SmallDisk> disk;
    // The bitmap's name carries its ending: a new name without one would be given ".bmp".
    const std::string name = cell.writer == Writer::Bitmap ? "/archive.bmp" : "/archive";
    std::string target = folder + name;
    std::string kept; // the file whose bytes must survive
    const std::string earlier = earlierBytes();

    switch (cell.place) {
    case Place::ReadOnlyFolder:
    case Place::FullDisk:
        disk = std::make_unique<SmallDisk>(folder);
        if (!disk->mounted())
            GTEST_SKIP() << "no tmpfs can be mounted here: " << disk->why();
        kept = target;
        writeAll(kept, earlier);
        if (cell.place == Place::ReadOnlyFolder) {
            ASSERT_TRUE(disk->makeReadOnly()) << std::strerror(errno);
        } else {
            ASSERT_TRUE(disk->fill("filler"));
        }
        break;
    case Place::FullDevice: {
        // A device that takes no byte (as /dev/full), made in our own folder so that a save
        // that replaces it harms nobody else's.
        ::mkdir(folder.c_str(), 0755);
        target = folder + "/full";
        if (::mknod(target.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            GTEST_SKIP() << "no device node can be made here: " << std::strerror(errno);
        break;
    }
    case Place::PathIsAFolder:
        ::mkdir(folder.c_str(), 0755);
        ::mkdir(target.c_str(), 0755);
        kept = target + "/inside";
        writeAll(kept, earlier);
        break;
    case Place::UnderAFile:
        ::mkdir(folder.c_str(), 0755);
        kept = folder + "/plain-file";
        writeAll(kept, earlier);
        target = kept + name;
        break;
    case Place::OpenElsewhere:
        ::mkdir(folder.c_str(), 0755);
        kept = target;
        writeAll(kept, earlier);
        break;
    }
    const std::set<std::string> entriesBefore = entriesOf(folder);

    // Another program holds the earlier file open and reads it after the save.
    int holder = -1;
    if (cell.place == Place::OpenElsewhere) {
        holder = ::open(kept.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(holder, 0);
    }

    const Saved saved = save(cell.writer, table, target, cell.language, bitmaps.get());

    EXPECT_TRUE(sameGrid(table, tableBefore));
    if (bitmaps) {
        // The picture is shown whatever became of its file, and the window is idle again.
        EXPECT_FALSE(bitmaps->form().picture().isNull());
        EXPECT_TRUE(bitmaps->form().Button1->isEnabled());
    }

    if (cell.place == Place::OpenElsewhere) {
        // Replaced by a whole new file; the holder still has every old byte.
        EXPECT_FALSE(saved.message.has_value()) << saved.message->toStdString();
        std::string held(earlier.size() + 16, '\0');
        const ssize_t n = ::pread(holder, held.data(), held.size(), 0);
        ::close(holder);
        ASSERT_GE(n, 0);
        held.resize(std::size_t(n));
        EXPECT_EQ(held, earlier);
        expectWholeFile(cell.writer, target, table);
        EXPECT_EQ(entriesOf(folder), entriesBefore);
        return;
    }

    expectMessage(cell, saved, target);
    if (!kept.empty()) {
        EXPECT_EQ(readAll(kept), earlier);
    }
    // No half-written file or temporary one left behind.
    EXPECT_EQ(entriesOf(folder), entriesBefore);
    if (cell.place == Place::FullDevice) {
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device was replaced by a file";
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, DiskFault, ::testing::ValuesIn(allCells()), [](const auto& info) {
    return std::string(writerName(info.param.writer)) + "_" + placeName(info.param.place) + "_" +
           (info.param.language ? "English" : "Russian");
});

// A name that is a symbolic link, as users keep "latest.xlsx -> reports/2026-12.xlsx": every
// save writes the file the link points to, and the link stays a link.
TEST(SymbolicLinks, EverySaveWritesThroughTheLink)
{
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("reports").c_str(), 0700), 0);
    StringGrid table;
    writeArchiveHeader(table, 0);
    table.setRowCount(2);
    table.setRow(1, {"1", "Сталь", "5920", "12,50", "3", "1", "07.05.2013", "09:03:00"});
    struct Save {
        const char* name;
        std::function<bool(const QString&)> write;
    };
    const Save saves[] = {
        {"project.qlx", [&](const QString& p) { return saveProject(table, p, 0).ok(); }},
        {"book.xlsx", [&](const QString& p) { return ExportToSpreadsheet(table, p, QStringLiteral("Архив ")).ok(); }},
        {"report.pdf", [&](const QString& p) { return writeReportPdf(table, p).ok(); }},
    };
    for (const Save& save : saves) {
        SCOPED_TRACE(save.name);
        const std::string target = dir.file(std::string("reports/") + save.name);
        const std::string link = dir.file(save.name);
        {
            std::ofstream old(target);
            old << "old";
        }
        ASSERT_EQ(::symlink((std::string("reports/") + save.name).c_str(), link.c_str()), 0);
        ASSERT_TRUE(save.write(QString::fromStdString(link)));
        struct stat st {};
        ASSERT_EQ(::lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_GT(st.st_size, 3) << "the file the link points to was not written";
        // Nothing left beside it.
        EXPECT_TRUE(QDir(QString::fromStdString(dir.file("reports")))
                        .entryList(QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot)
                        .filter(QStringLiteral("~"))
                        .isEmpty());
    }
}
