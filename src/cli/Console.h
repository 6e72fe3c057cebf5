#pragma once

#include <QString>
#include <QTextStream>

namespace cli {

// UTF-8 text streams on standard output and standard error.
QTextStream& out();
QTextStream& err();

// Prints "ost2eml: <message>" on standard error.
void printError(const QString& message);

} // namespace cli
