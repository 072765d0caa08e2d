#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// An error value carrying one finished sentence for the user.
struct StorageError {
    std::optional<QString> errorDescription;

    QString text() const { return errorDescription.value_or(QString()); }
};

// The value of an operation that may fail with a StorageError.
template <class T>
class Result {
public:
    Result(T value)
        : m_state(std::move(value))
    {
    }
    Result(StorageError error)
        : m_state(std::move(error))
    {
    }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const StorageError& error() const { return std::get<StorageError>(m_state); }

private:
    std::variant<T, StorageError> m_state;
};
