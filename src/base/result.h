#pragma once
// What an operation that can fail hands back: its value, or the message that tells the user
// what went wrong, already in the language in use when it failed. Files, the workbook, the
// reports and the command line all answer this way; the link keeps its own TransferStatus,
// which is about the wire, not about the user.

#include <QString>

#include <utility>
#include <variant>

namespace quilex {

// A failure and its message for the user; detail, when there is one, says in a few words what
// went wrong underneath (the command line adds it; a window shows the message alone).
struct Failure {
    QString message;
    QString detail;
};

inline Failure fail(QString message, QString detail = {})
{
    return Failure{std::move(message), std::move(detail)};
}

template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // Only when !ok().
    const QString& error() const { return std::get<1>(state_).message; }
    const QString& detail() const { return std::get<1>(state_).detail; }
    Failure failure() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failed_(true), failure_(std::move(failure)) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return failure_.message; }
    const QString& detail() const { return failure_.detail; }
    Failure failure() const { return failure_; }

private:
    bool failed_ = false;
    Failure failure_;
};

// Success without a value.
inline Result<void> done()
{
    return {};
}

} // namespace quilex
