#pragma once

#include <QDir>
#include <QString>

// The real sample stores beside the project (../shared/testdata); absent in a fresh clone.
inline QString sharedTestData(const QString& relative = QString())
{
    const QString base = QDir::cleanPath(QStringLiteral(OST2EML_SOURCE_DIR "/../shared/testdata"));
    return relative.isEmpty() ? base : base + QLatin1Char('/') + relative;
}

inline bool haveSharedTestData()
{
    return QDir(sharedTestData(QStringLiteral("stores"))).exists();
}
