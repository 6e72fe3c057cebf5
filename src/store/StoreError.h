#pragma once

#include <QString>
#include <stdexcept>
#include <string>

namespace store {

// A read that the store library reported as failed (its -1). Carries the library's own message.
// "No such value" is never an error: readers return an empty std::optional for it.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const std::string& message) : std::runtime_error(message) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// Opening a store failed. The reason lets the callers choose their own text for each case.
class OpenError : public StoreError
{
public:
    enum class Reason
    {
        NotFound,         // no such file
        IsDirectory,      // the path names a directory
        PermissionDenied, // the file exists but cannot be read
        Empty,            // zero bytes
        NotOfflineStore,  // a valid store signature, but not the offline content type ("SO")
        Unreadable,       // anything else: wrong signature, damaged, truncated, ...
    };

    OpenError(Reason reason, const std::string& message) : StoreError(message), m_reason(reason) {}
    Reason reason() const { return m_reason; }

private:
    Reason m_reason;
};

} // namespace store
