#include "cli/cli_options.h"

#include "cli/cli_commands.h"

#include <cstdio>

namespace quilex::cli {

int usageError(const char* command, const QString& error, const char* help)
{
    std::fprintf(stderr, "quilex-cli %s: %s\n\n%s", command, error.toUtf8().constData(), help);
    return ExitUsage;
}

Options parseOptions(const QStringList& args, const QStringList& valueOptions, const QStringList& flags)
{
    Options options;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--")) {
            options.positional += args.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            options.positional << arg;
            continue;
        }
        QString name = arg;
        QString value;
        bool inlineValue = false;
        if (const auto eq = arg.indexOf(QLatin1Char('=')); arg.startsWith(QLatin1String("--")) && eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            inlineValue = true;
        }
        if (flags.contains(arg)) {
            options.values.insert(arg, QString());
            continue;
        }
        if (!valueOptions.contains(name)) {
            options.error = QStringLiteral("unknown option \"%1\"").arg(name);
            return options;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                options.error = QStringLiteral("option \"%1\" needs a value").arg(name);
                return options;
            }
            value = args[++i];
        }
        options.values.insert(name, value);
    }
    return options;
}

std::optional<int> languageOption(const Options& options, QString& error)
{
    const QString lang = options.value(QStringLiteral("--lang"), QStringLiteral("ru"));
    if (lang == QLatin1String("ru"))
        return 0;
    if (lang == QLatin1String("en"))
        return 1;
    error = QStringLiteral("--lang takes ru or en, not \"%1\"").arg(lang);
    return std::nullopt;
}

std::optional<double> waitOption(const Options& options, QString& error)
{
    if (!options.has(QStringLiteral("--wait")))
        return 10.0;
    bool ok = false;
    const double seconds = options.value(QStringLiteral("--wait")).toDouble(&ok);
    if (!ok || seconds <= 0 || seconds > 24 * 3600) {
        error = QStringLiteral("--wait takes a number of seconds, not \"%1\"").arg(options.value(QStringLiteral("--wait")));
        return std::nullopt;
    }
    return seconds;
}

std::optional<TableLimits> limitOptions(const Options& options, TableLimits limits, QString& error)
{
    // An option stands for the whole table: it replaces the table's value and the series' own.
    for (const auto& [name, field] :
         {std::pair{QStringLiteral("--min"), &ThicknessLimits::minimum}, std::pair{QStringLiteral("--nominal"), &ThicknessLimits::nominal}}) {
        if (!options.has(name))
            continue;
        const auto value = limitFromText(options.value(name));
        if (!value) {
            error = QStringLiteral("%1 takes a thickness in millimetres such as 4.5, not \"%2\"").arg(name, options.value(name));
            return std::nullopt;
        }
        limits.table.*field = *value;
        for (auto& [series, own] : limits.series)
            own.*field = std::nullopt;
    }
    return limits;
}

} // namespace quilex::cli
