#include "StoreMessages.h"

namespace cli {

QString openFailureMessage(const QString& path, const store::OpenError& error)
{
    using Reason = store::OpenError::Reason;
    switch (error.reason()) {
    case Reason::NotFound:
        return path + QStringLiteral(": no such file");
    case Reason::IsDirectory:
        return path + QStringLiteral(": is a directory, not a store file");
    case Reason::PermissionDenied:
        return path + QStringLiteral(": permission denied");
    case Reason::Empty:
        return path + QStringLiteral(": the file is empty, not a store");
    case Reason::NotOfflineStore:
        return path + QStringLiteral(": ") + QString::fromUtf16(kNotOfflineStoreText);
    case Reason::Unreadable:
        break;
    }
    return path + QStringLiteral(": ") + QString::fromUtf16(kCannotOpenText) + QStringLiteral("\n  ") +
           error.message().trimmed().replace(QLatin1Char('\n'), QStringLiteral("\n  "));
}

} // namespace cli
