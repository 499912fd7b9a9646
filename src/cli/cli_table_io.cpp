#include "cli/cli_table_io.h"

#include "table/project_file.h"
#include "export/table_formats.h"

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

std::optional<QString> writeTable(const StringGrid& grid, const QString& path, int languageIndex,
                                  const TableLimits& limits)
{
    if (path.isEmpty()) {
        const QByteArray text = tableAsText(grid, *tableFormatById("tsv"));
        if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
            std::fflush(stdout) != 0)
            return languageIndex == 1 ? QStringLiteral("Cannot write to standard output")
                                      : QStringLiteral("Не удалось записать в стандартный вывод");
        return std::nullopt;
    }
    return formatOf(path).write(grid, path, languageIndex, limits);
}

std::optional<QString> readTable(const QString& path, StringGrid& grid, int languageIndex, TableLimits* limits)
{
    const TableFormat& format = formatOf(path);
    if (!format.read)
        return languageIndex == 1
                   ? QStringLiteral("Cannot read \"%1\": a %2 is written, not read").arg(path, QLatin1String(format.name))
                   : QStringLiteral("Не удалось прочитать \"%1\": этот формат только записывается").arg(path);
    return format.read(path, grid, languageIndex, limits);
}

} // namespace quilex::cli
