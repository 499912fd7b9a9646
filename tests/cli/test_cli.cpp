// quilex-cli end to end: the real program against the simulated gauge on both transports.

#include "table/project_file.h"
#include "support/test_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace quilex;
using quilex::test::TempDir;

namespace {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// One run of quilex-cli with the simulated gauge on libusb (faults as given), no driver
// devices unless a test starts the pipe face.
class Cli : public ::testing::Test {
protected:
    void SetUp() override { ::mkdir(devices().c_str(), 0700); }
    void TearDown() override
    {
        if (pipesPid > 0) {
            ::kill(pipesPid, SIGTERM);
            ::waitpid(pipesPid, nullptr, 0);
        }
    }
    std::string devices() const { return dir.file("devices"); }

    CliRun run(const QStringList& args, const QString& simFaults = {}, bool usb = true)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILEX_DRIVER_ROOT", QString::fromStdString(devices()));
        env.insert("QUILEX_LIBUSB", usb ? QString::fromStdString(test::simUsbLibrary()) : "/nonexistent/libusb.so");
        env.insert("QUILEX_SIM", simFaults);
        env.insert("LC_ALL", "C.UTF-8");
        process.setProcessEnvironment(env);
        process.start(QString::fromStdString(test::binPath("quilex-cli")), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    void startPipes()
    {
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        pipesPid = ::fork();
        if (pipesPid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            const std::string program = test::binPath("quilex-sim-pipes");
            ::execl(program.c_str(), program.c_str(), devices().c_str(), "gauge", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') {
        }
        ::close(out[0]);
    }

    static QList<QByteArray> lines(const QByteArray& text)
    {
        QList<QByteArray> l = text.split('\n');
        if (!l.isEmpty() && l.back().isEmpty())
            l.removeLast();
        return l;
    }

    TempDir dir;
    pid_t pipesPid = -1;
};

} // namespace

TEST_F(Cli, HelpAndUsage)
{
    const CliRun overview = run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    for (const char* command : {"devices", "archive", "materials", "screenshot", "convert"}) {
        EXPECT_TRUE(overview.out.contains(command)) << command;
        const CliRun help = run({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_TRUE(help.out.startsWith(QByteArray("Usage: quilex-cli ") + command)) << command;
    }
    EXPECT_EQ(run({}).exitCode, 1);
    EXPECT_EQ(run({"fly"}).exitCode, 1);
    EXPECT_EQ(run({"archive", "--lang", "de"}).exitCode, 1);
    EXPECT_EQ(run({"archive", "--bogus"}).exitCode, 1);
    EXPECT_EQ(run({"screenshot"}).exitCode, 1);
    EXPECT_EQ(run({"convert", "only-one"}).exitCode, 1);
    EXPECT_TRUE(run({"--version"}).out.startsWith("quilex-cli "));
}

TEST_F(Cli, DevicesOnEachTransportAndWithoutAGauge)
{
    const CliRun usb = run({"devices"});
    EXPECT_EQ(usb.exitCode, 0);
    EXPECT_TRUE(usb.out.contains("A gauge is reachable through libusb.")) << usb.out.constData();

    const CliRun none = run({"devices"}, {}, false);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.out.contains("No gauge is reachable")) << none.out.constData();

    startPipes();
    const CliRun pipes = run({"devices"}, {}, false);
    EXPECT_EQ(pipes.exitCode, 0);
    EXPECT_TRUE(pipes.out.contains("A gauge is reachable through its driver.")) << pipes.out.constData();
    EXPECT_TRUE(pipes.out.contains("/gauge")) << pipes.out.constData();
}

TEST_F(Cli, ArchiveOnEachTransport)
{
    const CliRun usb = run({"archive", "--lang", "en"}, "records=5");
    ASSERT_EQ(usb.exitCode, 0) << usb.err.constData();
    const auto rows = lines(usb.out);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[0], "№\tMaterial\tSpeed Sound, m/s\tThickness, mm\tNumber\tSeries\tDate\tTime");
    EXPECT_TRUE(rows[5].startsWith("5\t"));
    EXPECT_EQ(rows[1].split('\t').size(), 8);

    startPipes();
    const CliRun pipes = run({"archive"}, {}, false);
    ASSERT_EQ(pipes.exitCode, 0) << pipes.err.constData();
    EXPECT_TRUE(lines(pipes.out)[0].startsWith("№\tМатериал\t"));
    EXPECT_GT(lines(pipes.out).size(), 100); // the demo gauge keeps a few hundred measurements
}

TEST_F(Cli, ArchiveFailures)
{
    const CliRun none = run({"archive", "--wait", "1"}, {}, false);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.out.isEmpty());
    EXPECT_FALSE(none.err.isEmpty());

    const CliRun bad = run({"archive"}, "bad_crc=params");
    EXPECT_EQ(bad.exitCode, 3);
    EXPECT_TRUE(bad.err.contains("Ошибка контрольной суммы")) << bad.err.constData();

    const CliRun unwritable = run({"archive", "-o", QString::fromStdString(dir.file("no/such/dir/a.tsv"))}, "records=2");
    EXPECT_EQ(unwritable.exitCode, 4);
}

// A bad gauge on the command line: each command's exit status and message, how long it takes
// to give up, and that a file already on disk is replaced only by a whole result.
TEST_F(Cli, ExitStatusesAgainstABadGauge)
{
    const QString materials = QString::fromStdString(dir.file("materials.tsv"));
    ASSERT_EQ(run({"materials", "-o", materials}).exitCode, 0);
    const QString out = QString::fromStdString(dir.file("out.tsv"));
    const QString picture = QString::fromStdString(dir.file("screen.png"));

    struct Case {
        const char* name;
        QStringList args;
        QString faults;
        int exitCode;
        const char* says; // in standard error
        bool replaced;    // the output file holds a new result
    };
    // clang-format off
    const Case cases[] = {
        {"one failed transfer", {"archive", "-o", out, "--wait", "2"}, "records=4,fail_at=11", 0, "", true},
        {"cable pulled", {"archive", "-o", out, "--wait", "2"}, "records=4,unplug_after=12", 2, "не отвечает 2 с", false},
        {"never answers", {"archive", "-o", out, "--wait", "2"}, "silent_from=1", 2, "не отвечает 2 с", false},
        {"never answers from a record on", {"archive", "-o", out, "--wait", "2"}, "records=4,silent_from=13", 2,
         "не отвечает 2 с", false},
        {"materials, cable pulled", {"materials", "-o", out, "--wait", "2"}, "unplug_after=2", 2, "не отвечает", false},
        {"write, chunk fails", {"materials", "--write", materials, "--wait", "2"}, "fail_at=7", 2,
         "может быть неполной", false},
        {"screen never answers", {"screenshot", "-o", picture, "--wait", "2"}, "silent_from=1", 2, "не отвечает", false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& path : {out, picture}) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("old\n");
        }
        QElapsedTimer clock;
        clock.start();
        const CliRun r = run(c.args, c.faults);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.constData();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.constData();
        EXPECT_LT(clock.elapsed(), 8000); // given up about --wait seconds after the last answer
        QFile file(c.args.front() == "screenshot" ? picture : out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll() != "old\n", c.replaced);
    }
}

TEST_F(Cli, DevicesTellsAGaugeOnTheBusFromOneThatCanBeOpened)
{
    const CliRun denied = run({"devices"}, "open_denied");
    EXPECT_EQ(denied.exitCode, 2);
    EXPECT_TRUE(denied.out.contains("A gauge (USB 03EB:0201) is on the bus but cannot be opened (Permission denied)"))
        << denied.out.constData();
    EXPECT_TRUE(denied.out.contains("60-quilex.rules")) << denied.out.constData();
    EXPECT_TRUE(denied.out.contains("No gauge is reachable")) << denied.out.constData();

    const CliRun busy = run({"devices"}, "claim_busy");
    EXPECT_EQ(busy.exitCode, 2);
    EXPECT_TRUE(busy.out.contains("cannot be claimed (Device or resource busy)")) << busy.out.constData();

    const CliRun fine = run({"devices"});
    EXPECT_TRUE(fine.out.contains("A gauge (USB 03EB:0201) is on the bus and can be opened.")) << fine.out.constData();
}

TEST_F(Cli, ArchiveIntoFilesAndConvertRoundTrips)
{
    const QString qlx = QString::fromStdString(dir.file("archive.qlx"));
    const QString tsv = QString::fromStdString(dir.file("archive.tsv"));
    const QString again = QString::fromStdString(dir.file("again.qlx"));
    const QString csv = QString::fromStdString(dir.file("archive.csv"));
    ASSERT_EQ(run({"archive", "-o", qlx}, "records=20").exitCode, 0);
    ASSERT_EQ(run({"convert", qlx, tsv}).exitCode, 0);
    ASSERT_EQ(run({"convert", qlx, again}).exitCode, 0);
    ASSERT_EQ(run({"convert", qlx, csv}).exitCode, 0);

    QFile a(qlx), b(again), t(tsv), c(csv);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && t.open(QIODevice::ReadOnly) &&
                c.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll()); // byte for byte
    const auto tsvLines = lines(t.readAll());
    EXPECT_EQ(tsvLines.size(), 21);
    const QByteArray csvText = c.readAll();
    EXPECT_TRUE(csvText.startsWith("№,Материал,\"Скорость звука, м/с\",\"Толщина, мм\","));
    EXPECT_TRUE(csvText.endsWith("\r\n"));

    const CliRun toStdout = run({"convert", qlx, "-"});
    EXPECT_EQ(lines(toStdout.out), tsvLines);
}

TEST_F(Cli, ConvertSorts)
{
    const QString in = QString::fromStdString(dir.file("in.tsv"));
    QFile file(in);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("№\tMaterial\tSpeed\tThickness\n1\tb\t5920\t12.34\n2\ta\t5920\t9.50\n3\tc\t5920\t100.00\n");
    file.close();
    const CliRun ascending = run({"convert", in, "-", "--sort", "3"});
    ASSERT_EQ(ascending.exitCode, 0) << ascending.err.constData();
    const auto up = lines(ascending.out);
    ASSERT_EQ(up.size(), 4);
    EXPECT_TRUE(up[1].startsWith("2\t") && up[2].startsWith("1\t") && up[3].startsWith("3\t"));

    const CliRun descending = run({"convert", in, "-", "--sort", "1:desc"});
    const auto down = lines(descending.out);
    ASSERT_EQ(down.size(), 4);
    EXPECT_TRUE(down[1].startsWith("3\t") && down[3].startsWith("2\t"));

    QFile bad(QString::fromStdString(dir.file("bad.tsv")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("№\tMaterial\tSpeed\n1\ta\tNAN\n2\tb\t5\n");
    bad.close();
    const CliRun failed = run({"convert", bad.fileName(), "-", "--sort", "2"});
    EXPECT_EQ(failed.exitCode, 4);
    EXPECT_TRUE(failed.out.isEmpty());
    EXPECT_EQ(run({"convert", in, "-", "--sort", "9"}).exitCode, 1);
    EXPECT_EQ(run({"convert", QString::fromStdString(dir.file("missing.qlx")), "-"}).exitCode, 4);

    // One project sorted into another: the same table as through text, the same refusals.
    const QString project = QString::fromStdString(dir.file("in.qlx"));
    const QString sorted = QString::fromStdString(dir.file("sorted.qlx"));
    ASSERT_EQ(run({"convert", in, project}).exitCode, 0);
    ASSERT_EQ(run({"convert", project, sorted, "--sort", "3"}).exitCode, 0);
    EXPECT_EQ(lines(run({"convert", sorted, "-"}).out), up);
    ASSERT_EQ(run({"convert", project, sorted, "--sort", "1:desc"}).exitCode, 0);
    EXPECT_EQ(lines(run({"convert", sorted, "-"}).out), down);
    const QString badProject = QString::fromStdString(dir.file("bad.qlx"));
    ASSERT_EQ(run({"convert", bad.fileName(), badProject}).exitCode, 0);
    const CliRun badSort = run({"convert", badProject, QString::fromStdString(dir.file("never.qlx")), "--sort", "2"});
    EXPECT_EQ(badSort.exitCode, 4);
    EXPECT_TRUE(badSort.err.contains("NAN")) << badSort.err.constData();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("never.qlx"))));
    EXPECT_EQ(run({"convert", project, sorted, "--sort", "9"}).exitCode, 1);
    // A project sorted onto itself: it is read whole before the sorted one replaces it.
    ASSERT_EQ(run({"convert", project, project, "--sort", "3"}).exitCode, 0);
    EXPECT_EQ(lines(run({"convert", project, "-"}).out), up);
}

TEST_F(Cli, MaterialsReadAndWrite)
{
    // The pipe face is one process for the whole test, so the gauge keeps what is written.
    startPipes();
    const QString table = QString::fromStdString(dir.file("materials.tsv"));
    const CliRun read = run({"materials", "-o", table, "--lang", "en"}, {}, false);
    ASSERT_EQ(read.exitCode, 0) << read.err.constData();
    QFile file(table);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> rows = lines(file.readAll());
    file.close();
    ASSERT_EQ(rows.size(), 14);
    EXPECT_EQ(rows[0], "№\tMaterial\tSpeed Sound, m/s");
    EXPECT_TRUE(rows[1].startsWith("1\tteflon\t"));

    rows[5] = "5\tgrey iron\t4650";
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(rows.join('\n') + '\n');
    file.close();
    const CliRun write = run({"materials", "--write", table, "--lang", "en"}, {}, false);
    ASSERT_EQ(write.exitCode, 0) << write.err.constData();
    const CliRun back = run({"materials", "--lang", "en"}, {}, false);
    EXPECT_EQ(lines(back.out).value(5), "5\tgrey iron\t4650");
    // The Russian name of that material stayed as the gauge had it.
    const CliRun russian = run({"materials"}, {}, false);
    EXPECT_EQ(lines(russian.out).value(5), "5\tчугун\t4650");

    rows[7] = "7\tsteel 2\tfast";
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(rows.join('\n') + '\n');
    file.close();
    const CliRun refused = run({"materials", "--write", table, "--lang", "en"}, {}, false);
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_TRUE(refused.err.contains("7")) << refused.err.constData();
}

TEST_F(Cli, ScreenshotAsPngAndBmp)
{
    for (const char* name : {"screen.png", "screen.bmp"}) {
        const QString path = QString::fromStdString(dir.file(name));
        const CliRun shot = run({"screenshot", "-o", path});
        ASSERT_EQ(shot.exitCode, 0) << shot.err.constData();
        QImage image(path);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.size(), QSize(132, 68));
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));   // the frame
        EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));   // the gap
    }
}

// Statistics and charts on the command line: the columns in their order, a project's limits and
// the options over them, the limits kept from project to project, and pictures that are PNG
// and SVG.
TEST_F(Cli, StatsChartAndLimitsThroughConvert)
{
    const QString qlx = QString::fromStdString(dir.file("archive.qlx"));
    ASSERT_EQ(run({"archive", "-o", qlx}, "records=40").exitCode, 0);

    const CliRun plain = run({"stats", qlx, "--lang", "en"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.constData();
    const auto rows = lines(plain.out);
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows[0], "Series\tReadings\tMinimum, mm\t№ of minimum\tMaximum, mm\t№ of maximum\tMean, mm\t"
                       "Std. deviation, mm\tRange, mm");
    EXPECT_TRUE(rows.back().startsWith("All\t40\t")) << rows.back().constData();

    const CliRun limited = run({"stats", qlx, "--min", "12.25", "--nominal", "12,5"});
    ASSERT_EQ(limited.exitCode, 0) << limited.err.constData();
    const auto withLimits = lines(limited.out);
    EXPECT_TRUE(withLimits[0].endsWith("\tНиже минимума\tОстаток стенки, %")) << withLimits[0].constData();
    EXPECT_TRUE(withLimits.back().startsWith("Все\t40\t"));
    EXPECT_EQ(withLimits.back().split('\t').size(), 11);
    EXPECT_EQ(run({"stats", qlx, "--min", "thin"}).exitCode, 1);

    // A project with limits: the table and its limits go on to another project (the byte sort
    // and the long way alike), and stats takes them unless an option replaces them.
    StringGrid table;
    ASSERT_TRUE(readProjectFile(qlx, table, 0).ok());
    TableLimits limits;
    limits.table = {1250, 1225};
    ASSERT_TRUE(writeProjectFile(table, qlx, 0, limits).ok());
    for (const QStringList& extra : {QStringList{}, QStringList{"--sort", "3"}}) {
        const QString copy = QString::fromStdString(dir.file("copy.qlx"));
        ASSERT_EQ(run(QStringList{"convert", qlx, copy} + extra).exitCode, 0);
        StringGrid copied;
        const auto kept = readProjectFile(copy, copied, 0);
        ASSERT_TRUE(kept.ok());
        EXPECT_EQ(kept->limits, limits) << extra.join(' ').toStdString();
    }
    EXPECT_EQ(lines(run({"stats", qlx}).out).back(), withLimits.back());
    EXPECT_NE(lines(run({"stats", qlx, "--min", "1"}).out).back(), withLimits.back());

    for (const char* name : {"chart.png", "chart.svg"}) {
        const QString out = QString::fromStdString(dir.file(name));
        const CliRun drawn = run({"chart", qlx, "-o", out, "--histogram"});
        ASSERT_EQ(drawn.exitCode, 0) << drawn.err.constData();
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(64);
        EXPECT_TRUE(QByteArray(name).endsWith("png") ? head.startsWith("\x89PNG") : head.contains("<?xml")) << name;
    }
    EXPECT_EQ(run({"chart", qlx}).exitCode, 1); // -o is needed
}

// The bytes tell a project, whatever the name says: one saved as .csv converts as a project,
// limits and all. A file that is neither a project nor text is refused by name. A project whose
// limits are damaged gives its cells to convert, stats and chart, with a warning on standard
// error, and the file stays as it was.
TEST_F(Cli, FilesAreWhatTheirBytesSay)
{
    const QString qlx = QString::fromStdString(dir.file("archive.qlx"));
    ASSERT_EQ(run({"archive", "-o", qlx}, "records=30").exitCode, 0);
    StringGrid table;
    ASSERT_TRUE(readProjectFile(qlx, table, 1).ok());
    TableLimits limits;
    limits.table = {1250, 1100};
    ASSERT_TRUE(writeProjectFile(table, qlx, 1, limits).ok());
    QFile original(qlx);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray project = original.readAll();

    const QString legacy = QString::fromStdString(dir.file("legacy.csv"));
    ASSERT_TRUE(QFile::copy(qlx, legacy));
    const QString copy = QString::fromStdString(dir.file("copy.qlx"));
    const CliRun converted = run({"convert", legacy, copy});
    ASSERT_EQ(converted.exitCode, 0) << converted.err.constData();
    QFile copied(copy);
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), project);

    const QString picture = QString::fromStdString(dir.file("picture.tsv"));
    {
        QFile file(picture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    }
    const CliRun refused = run({"convert", picture, "-", "--lang", "en"});
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_TRUE(refused.err.contains("neither a project file nor a table written as text")) << refused.err.constData();
    EXPECT_TRUE(refused.err.contains("picture.tsv"));
    EXPECT_TRUE(refused.out.isEmpty());

    const QString damaged = QString::fromStdString(dir.file("damaged.qlx"));
    QByteArray spoilt = project;
    spoilt[spoilt.size() - 1] = char(spoilt[spoilt.size() - 1] ^ 0x55); // the limits' checksum
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(spoilt);
    }
    const QString chart = QString::fromStdString(dir.file("chart.png"));
    for (const QStringList& command : {QStringList{"convert", damaged, "-"}, QStringList{"stats", damaged},
                                       QStringList{"chart", damaged, "-o", chart}}) {
        SCOPED_TRACE(command.front().toStdString());
        const CliRun r = run(command + QStringList{"--lang", "en"});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_TRUE(r.err.contains("thickness limits")) << r.err.constData();
        EXPECT_TRUE(r.err.contains("damaged.qlx"));
    }
    EXPECT_EQ(lines(run({"convert", damaged, "-"}).out).size(), 31);
    QFile kept(damaged);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), spoilt);
}
