#include "FileSystemNames.h"

#include <QDir>
#include <QFileInfo>

namespace convert {

namespace {

bool isReservedDeviceName(const QString& name)
{
    // CON, PRN, AUX, NUL, COM1..9, LPT1..9, also with an extension ("con.txt").
    const QString stem = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList kReserved = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                          QStringLiteral("NUL")};
    if (kReserved.contains(stem))
        return true;
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           stem.at(3) >= QLatin1Char('1') && stem.at(3) <= QLatin1Char('9');
}

} // namespace

QString FileSystemNames::clean(const QString& name, int maxLength, const QString& fallback)
{
    QString result;
    result.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool forbidden = u < 0x20 || u == 0x7F || u == u'/' || u == u'\\' || u == u':' || u == u'*' ||
                               u == u'?' || u == u'"' || u == u'<' || u == u'>' || u == u'|';
        result += forbidden ? QLatin1Char('_') : c;
    }
    // Runs of whitespace in a subject ("Re:  \t hello") read better as one space.
    result = result.simplified();
    while (!result.isEmpty() && (result.front() == QLatin1Char('.') || result.front() == QLatin1Char(' ')))
        result.remove(0, 1);
    if (result.size() > maxLength) {
        qsizetype cut = maxLength;
        if (cut > 0 && result.at(cut - 1).isHighSurrogate())
            --cut;
        result.truncate(cut);
    }
    while (!result.isEmpty() && (result.back() == QLatin1Char('.') || result.back() == QLatin1Char(' ')))
        result.chop(1);
    if (result.isEmpty())
        return fallback;
    if (isReservedDeviceName(result))
        result.prepend(QLatin1Char('_'));
    return result;
}

} // namespace convert
