#pragma once
// Writing a file so that a failure never leaves half of it behind: the new content goes to a
// temporary file in the same folder, which takes the target's name only when it is complete.
// A name that is a symbolic link is written through: the file it points to is replaced, the
// link stays.

#include <QString>

namespace quilex {

class ReplacingFile {
public:
    explicit ReplacingFile(QString path);
    // Removes the temporary file unless commit() succeeded.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the empty temporary file beside the target. False (see errorString) when the
    // folder cannot take it.
    bool prepare();
    // Where the writer puts the content; it may reopen and truncate the file.
    const QString& temporaryPath() const { return temporary_; }
    // Flushes the temporary file to disk, gives it the permissions of the file it replaces (or
    // the usual ones for a new file) and renames it over the target in one step.
    bool commit();

    const QString& errorString() const { return error_; }

private:
    QString path_;
    QString temporary_;
    QString error_;
    bool committed_ = false;
};

} // namespace quilex
