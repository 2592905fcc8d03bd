#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace pintora {

// A value, or the message that tells the user why there is none.
template <class T> class Expected {
public:
    Expected(T value) : value_(std::move(value)) {}
    static Expected failure(QString message) { return Expected(std::move(message), 0); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *value_; }
    T& value() & { return *value_; }
    T&& value() && { return std::move(*value_); }
    const QString& error() const { return error_; }

private:
    Expected(QString message, int) : error_(std::move(message)) {}
    std::optional<T> value_;
    QString error_;
};

} // namespace pintora
