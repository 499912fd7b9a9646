#pragma once
// A small option reader for the commands: "-o FILE", "--lang ru", "--wait=5" and positional
// arguments, with a usage message for anything else.

#include "table/thickness_limits.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace quilex::cli {

struct Options {
    QHash<QString, QString> values; // option name (with dashes) -> value
    QStringList positional;
    QString error; // empty when the arguments were understood

    bool has(const QString& name) const { return values.contains(name); }
    QString value(const QString& name, const QString& fallback = {}) const { return values.value(name, fallback); }
};

// Says what was wrong with a command's arguments and its help, on standard error; returns the
// exit status of a usage error.
int usageError(const char* command, const QString& error, const char* help);

// valueOptions: the options that take a value; flags: those that take none (their value is
// empty); anything else starting with '-' is an error.
Options parseOptions(const QStringList& args, const QStringList& valueOptions, const QStringList& flags = {});

// "--lang ru|en" as a language index; error text in usage on anything else.
std::optional<int> languageOption(const Options& options, QString& error);
// "--wait SECONDS", default 10.
std::optional<double> waitOption(const Options& options, QString& error);
// "--min MM" and "--nominal MM" over the limits a file kept: each replaces the whole table's
// value and every series' own.
std::optional<TableLimits> limitOptions(const Options& options, TableLimits limits, QString& error);

} // namespace quilex::cli
