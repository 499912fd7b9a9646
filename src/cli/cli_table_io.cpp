#include "cli/cli_table_io.h"

#include "table/project_file.h"
#include "export/table_formats.h"
#include "table/table_texts.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace quilex::cli {

namespace {

// The format of a file the command line writes or reads: by its ending, else tab-separated.
const TableFormat& formatOf(const QString& path)
{
    const TableFormat* format = tableFormatFor(path);
    return format ? *format : *tableFormatById("tsv");
}

} // namespace

bool isProjectFile(const QString& path)
{
    return std::strcmp(formatOf(path).id, "qlx") == 0;
}

Result<void> writeTable(const StringGrid& grid, const QString& path, int languageIndex, const ProjectExtras& kept)
{
    if (path.isEmpty()) {
        const QByteArray text = tableAsText(grid, *tableFormatById("tsv"));
        if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
            std::fflush(stdout) != 0)
            return fail(Text(table_texts::CannotWriteStandardOutput, std::uint8_t(languageIndex)));
        return done();
    }
    return formatOf(path).write(grid, path, languageIndex, kept);
}

Result<ProjectExtras> readTable(const QString& path, StringGrid& grid, int languageIndex)
{
    const TableFormat& format = formatOf(path);
    if (!format.read)
        return fail(Text(table_texts::OnlyWritten, std::uint8_t(languageIndex)).arg(path));
    Result<ProjectExtras> read = readTableFile(path, format, grid, languageIndex);
    // Limits that could not be read are told, and the cells go on all the same.
    if (read && !read->warning.isEmpty())
        std::fprintf(stderr, "quilex-cli: %s\n", read->warning.toUtf8().constData());
    return read;
}

} // namespace quilex::cli
