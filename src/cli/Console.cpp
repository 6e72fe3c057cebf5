#include "Console.h"

#include <cstdio>

namespace cli {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

void printError(const QString& message)
{
    out().flush();
    err() << "ost2eml: " << message << Qt::endl;
}

} // namespace cli
