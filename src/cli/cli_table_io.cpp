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

QByteArrayView mappedProject(QFile& file)
{
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > MaxProjectFileSize ||
        file.size() < ProjectHeaderSize)
        return {};
    // Another program that cuts the file short while it is mapped ends this one (SIGBUS), as for
    // any program that maps its input; the target file is replaced only after the last byte was
    // written, so it stays as it was.
    const uchar* bytes = file.map(0, file.size());
    if (!bytes)
        return {};
    return QByteArrayView(reinterpret_cast<const char*>(bytes), file.size());
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
