// quilex-cli convert to a workbook and to the report's pages, read back by outside readers.

#include "export/outside_readers.h"
#include "support/test_support.h"

#include <QFile>
#include <QJsonArray>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using quilex::test::TempDir;

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

quilex::test::ToolRun convert(const QStringList& args)
{
    return quilex::test::runTool(qs(quilex::test::binPath("quilex-cli")), QStringList{QStringLiteral("convert")} + args);
}

class CliExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile f(qs(table()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("№\tMaterial\tSpeed Sound, m/s\tThickness, mm\tNumber\tSeries\tDate\tTime\n"
                "1\tСталь\t5920\t12.50\t3\t1\t7 May 2013\t09:03:00\n"
                "2\tSteel\t5920\t8.05\t4\t1\t8 May 2013\t10:00:00\n");
    }
    std::string table() const { return dir.file("table.tsv"); }
    TempDir dir;
};

TEST_F(CliExport, WritesTheWorkbookWithSheetsTitledInTheLanguage)
{
    const std::string out = dir.file("out.xlsx");
    const auto run = convert({qs(table()), qs(out), QStringLiteral("--lang"), QStringLiteral("ru"), QStringLiteral("--sort"),
                              QStringLiteral("3")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    const QJsonObject sheet = quilex::test::readWorkbook(qs(out))["sheets"].toArray().at(0).toObject();
    EXPECT_EQ(sheet["title"].toString(), QStringLiteral("Архив измерений 1"));
    const QJsonObject cells = sheet["cells"].toObject();
    EXPECT_EQ(cells["B1"].toObject()["v"].toString(), QStringLiteral("Material")); // the table's own header row
    EXPECT_EQ(cells["D2"].toObject()["v"].toDouble(), 8.05); // sorted by thickness first
    EXPECT_EQ(cells["D3"].toObject()["f"].toString(), QStringLiteral("0.00"));
    EXPECT_EQ(cells["B3"].toObject()["v"].toString(), QStringLiteral("Сталь"));
}

TEST_F(CliExport, WritesTheReportPages)
{
    const std::string out = dir.file("out.pdf");
    const auto run = convert({qs(table()), qs(out), QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(quilex::test::pdfPageCount(qs(out)), 1);
    const QString text = quilex::test::pdfText(qs(out), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("Archive of measurements "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Сталь")));
}

TEST_F(CliExport, AFileThatCannotBeWrittenFailsWithStatus4)
{
    for (const char* name : {"/out.xlsx", "/out.pdf"}) {
        const auto run = convert({qs(table()), qs(table()) + QLatin1String(name)});
        EXPECT_EQ(run.exitCode, 4) << name;
        EXPECT_TRUE(run.err.contains("out.")) << run.err.constData();
    }
}

} // namespace
