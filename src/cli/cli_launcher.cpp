// quilex-cli: the gauge's companion on the command line.
//
// This program is the small half of the command line: it needs QtCore only. The commands draw
// charts, print reports and write workbooks, and the program that can do all of that loads 56
// libraries at its start (Qt's widgets, charts, printing and SVG, OpenGL, X11, the workbook
// writer); mapping and relocating them takes longer than sorting a project of 100,000 rows. So
// this program sorts one project file into another itself, the one command that needs none of
// them, and for everything else becomes quilex-cli-commands (exec, same arguments, same process):
// the whole command line, with every command, help text and message.

#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "table/project_file.h"
#include "table/project_sort.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace quilex::cli {
namespace {

// A project file's bytes, mapped from the file rather than copied: reading a large project into
// fresh memory costs more than sorting it. Empty when the file is not a regular file of a size a
// project file can have or cannot be mapped; the whole command line then reads it and says why.
// Another program that cuts the file short while it is mapped ends this one (SIGBUS), as for any
// program that maps its input; the target is replaced only after the last byte was written, so
// it stays as it was.
QByteArrayView mappedProject(QFile& file)
{
    if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > MaxProjectFileSize
        || file.size() < ProjectHeaderSize)
        return {};
    const uchar* bytes = file.map(0, file.size());
    if (!bytes)
        return {};
    return QByteArrayView(reinterpret_cast<const char*>(bytes), file.size());
}

bool isProjectFileName(const QString& path)
{
    return path.endsWith(QLatin1String(ProjectFileEnding), Qt::CaseInsensitive);
}

// "convert IN.qlx OUT.qlx --sort COLUMN[:desc|:asc] [--lang ru|en]", read as the convert command
// reads it, sorted straight from the file's bytes. Nothing when the arguments are anything else,
// a usage error or a help request included, or when the sort must take the long way (a file the
// reader refuses, a cell that does not convert, a column the table does not have): the whole
// command line then does what it always does, with its messages.
std::optional<int> sortProjectIntoProject(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments[1] != QLatin1String("convert"))
        return std::nullopt;
    const QStringList args = arguments.mid(2);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h")))
        return std::nullopt;
    const Options options = parseOptions(args, {QStringLiteral("--sort"), QStringLiteral("--lang")});
    QString error = options.error;
    const auto lang = error.isEmpty() ? languageOption(options, error) : std::nullopt;
    if (!error.isEmpty() || options.positional.size() != 2 || !options.has(QStringLiteral("--sort")))
        return std::nullopt;
    QString sortKey = options.value(QStringLiteral("--sort"));
    SortDirection before = 0; // one header click from here gives the asked direction
    if (sortKey.endsWith(QLatin1String(":desc"))) {
        sortKey.chop(5);
        before = 1;
    } else if (sortKey.endsWith(QLatin1String(":asc"))) {
        sortKey.chop(4);
    }
    bool ok = false;
    const int column = sortKey.toInt(&ok);
    const QString& in = options.positional[0];
    const QString& out = options.positional[1];
    if (!ok || column < 0 || out == QLatin1String("-") || !isProjectFileName(in) || !isProjectFileName(out))
        return std::nullopt;

    QFile file(in);
    const auto sort = ProjectSort::prepare(mappedProject(file), column, before, *lang);
    if (!sort)
        return std::nullopt;
    // The sorted file is written in pieces as they are made, never whole in memory.
    const auto fill = [&](const ProjectSink& sink) { return sort->write(sink, *lang); };
    if (const auto written = writeProjectPieces(fill, out, *lang); !written) {
        std::fprintf(stderr, "quilex-cli: %s\n", written.error().toUtf8().constData());
        return ExitFileError;
    }
    return ExitDone;
}

// Where quilex-cli-commands is: beside this program in a build, in the package's libexec folder
// once installed.
std::string commandsProgram()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? std::string(self, size_t(length)) : std::string();
    folder.erase(folder.find_last_of('/') + 1);
    for (const char* relative : {"", QUILEX_COMMANDS_DIR "/"}) {
        const std::string path = folder + relative + "quilex-cli-commands";
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return folder + QUILEX_COMMANDS_DIR "/quilex-cli-commands";
}

} // namespace
} // namespace quilex::cli

int main(int argc, char* argv[])
{
    using namespace quilex::cli;
    // The arguments as they came, for the whole command line, whatever the application takes.
    std::vector<char*> arguments(argv, argv + argc + 1);
    {
        const QCoreApplication app(argc, argv);
        if (const auto status = sortProjectIntoProject(QCoreApplication::arguments()))
            return *status;
    }
    const std::string program = commandsProgram();
    execv(program.c_str(), arguments.data());
    std::fprintf(stderr, "quilex-cli: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return 127;
}
