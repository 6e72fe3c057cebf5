#include "TimeZoneDefinition.h"

#include "ContentLines.h"

#include <QTimeZone>
#include <QtEndian>
#include <cstdlib>

namespace engine {

namespace {

std::uint16_t word(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<std::uint16_t>(data.constData() + at);
}

std::int32_t signedLong(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<std::int32_t>(data.constData() + at);
}

// A SYSTEMTIME in its "relative" form: month, day of week, week of month (5 = last), hour, minute.
TimeZoneDefinition::Transition transition(const QByteArray& data, qsizetype at)
{
    TimeZoneDefinition::Transition t;
    t.month = word(data, at + 2);
    t.dayOfWeek = word(data, at + 4);
    t.week = word(data, at + 6);
    t.hour = word(data, at + 8);
    t.minute = word(data, at + 10);
    if (t.month < 1 || t.month > 12 || t.dayOfWeek > 6 || t.week < 1 || t.week > 5 || t.hour > 23 ||
        t.minute > 59)
        return {};
    return t;
}

QString offsetText(int minutes)
{
    const QChar sign = minutes < 0 ? QLatin1Char('-') : QLatin1Char('+');
    const int magnitude = std::abs(minutes);
    return sign + QStringLiteral("%1%2")
                      .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
                      .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

const char* const kDayNames[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

} // namespace

QDate TimeZoneDefinition::Transition::in(int year) const
{
    if (month == 0)
        return {};
    const QDate first(year, month, 1);
    // Qt counts Monday 1 .. Sunday 7; the stored day counts Sunday 0 .. Saturday 6.
    const int firstDay = first.dayOfWeek() % 7;
    QDate date = first.addDays((dayOfWeek - firstDay + 7) % 7 + 7 * (week - 1));
    while (date.month() != month)
        date = date.addDays(-7);
    return date;
}

std::optional<TimeZoneDefinition> TimeZoneDefinition::fromDefinition(const QByteArray& blob)
{
    if (blob.size() < 6 || static_cast<unsigned char>(blob[0]) != 0x02)
        return std::nullopt;
    const qsizetype header = word(blob, 2);
    if (header < 4 || 4 + header > blob.size())
        return std::nullopt;
    const qsizetype keyLength = word(blob, 6);
    if (8 + 2 * keyLength + 2 > blob.size())
        return std::nullopt;
    TimeZoneDefinition zone;
    zone.m_name = QString::fromUtf16(reinterpret_cast<const char16_t*>(blob.constData() + 8), keyLength);
    const qsizetype rulesAt = 4 + header;
    const int ruleCount = word(blob, rulesAt - 2);
    constexpr qsizetype kRuleSize = 66;
    std::optional<qsizetype> chosen;
    for (int rule = 0; rule < ruleCount; ++rule) {
        const qsizetype at = rulesAt + rule * kRuleSize;
        if (at + kRuleSize > blob.size())
            break;
        chosen = at;
        if (word(blob, at + 4) & 0x0002) // the rule in effect
            break;
    }
    if (!chosen)
        return std::nullopt;
    const qsizetype at = *chosen;
    zone.m_bias = signedLong(blob, at + 22);
    zone.m_standardBias = signedLong(blob, at + 26);
    zone.m_daylightBias = signedLong(blob, at + 30);
    zone.m_standard = transition(blob, at + 34);
    zone.m_daylight = transition(blob, at + 50);
    if (zone.m_name.trimmed().isEmpty())
        zone.m_name = QStringLiteral("Custom Time Zone");
    return zone;
}

std::optional<TimeZoneDefinition> TimeZoneDefinition::fromStructure(const QByteArray& blob,
                                                                    const QString& name)
{
    if (blob.size() < 48)
        return std::nullopt;
    TimeZoneDefinition zone;
    zone.m_name = name.trimmed().isEmpty() ? QStringLiteral("Custom Time Zone") : name.trimmed();
    zone.m_bias = signedLong(blob, 0);
    zone.m_standardBias = signedLong(blob, 4);
    zone.m_daylightBias = signedLong(blob, 8);
    zone.m_standard = transition(blob, 14);
    zone.m_daylight = transition(blob, 32);
    return zone;
}

bool TimeZoneDefinition::isDaylight(const QDateTime& localStandard) const
{
    if (!hasDaylightTime())
        return false;
    const int year = localStandard.date().year();
    // Both transitions in local standard time: the change back happens at its hour in daylight time.
    const QDateTime toDaylight(m_daylight.in(year), QTime(m_daylight.hour, m_daylight.minute),
                               QTimeZone::utc());
    const QDateTime toStandard =
        QDateTime(m_standard.in(year), QTime(m_standard.hour, m_standard.minute), QTimeZone::utc())
            .addSecs(-60LL * (daylightOffset() - standardOffset()));
    if (toDaylight < toStandard)
        return localStandard >= toDaylight && localStandard < toStandard;
    // Southern hemisphere: daylight time spans the turn of the year.
    return localStandard >= toDaylight || localStandard < toStandard;
}

QDateTime TimeZoneDefinition::toLocal(const QDateTime& utc) const
{
    const QDateTime standard = utc.toUTC().addSecs(60LL * standardOffset());
    return isDaylight(standard) ? utc.toUTC().addSecs(60LL * daylightOffset()) : standard;
}

QDateTime TimeZoneDefinition::toUtc(const QDateTime& local) const
{
    const QDateTime asUtc(local.date(), local.time(), QTimeZone::utc());
    const QDateTime standardUtc = asUtc.addSecs(-60LL * standardOffset());
    if (toLocal(standardUtc) == asUtc)
        return standardUtc;
    const QDateTime daylightUtc = asUtc.addSecs(-60LL * daylightOffset());
    return toLocal(daylightUtc) == asUtc ? daylightUtc : standardUtc;
}

QByteArray TimeZoneDefinition::vtimezone() const
{
    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VTIMEZONE"));
    lines.addText(QStringLiteral("TZID"), m_name);
    const auto observance = [&](const QString& kind, const Transition& t, int from, int to) {
        lines.add(QStringLiteral("BEGIN"), kind);
        if (t.month == 0) {
            lines.add(QStringLiteral("DTSTART"), QStringLiteral("16010101T000000"));
        } else {
            const QDate first = t.in(1601);
            lines.add(QStringLiteral("DTSTART"), QDateTime(first, QTime(t.hour, t.minute), QTimeZone::utc())
                                                     .toString(QStringLiteral("yyyyMMdd'T'HHmmss")));
            lines.add(QStringLiteral("RRULE"), QStringLiteral("FREQ=YEARLY;BYMONTH=%1;BYDAY=%2%3")
                                                   .arg(t.month)
                                                   .arg(t.week == 5 ? -1 : t.week)
                                                   .arg(QLatin1String(kDayNames[t.dayOfWeek])));
        }
        lines.add(QStringLiteral("TZOFFSETFROM"), offsetText(from));
        lines.add(QStringLiteral("TZOFFSETTO"), offsetText(to));
        lines.add(QStringLiteral("END"), kind);
    };
    if (hasDaylightTime()) {
        observance(QStringLiteral("STANDARD"), m_standard, daylightOffset(), standardOffset());
        observance(QStringLiteral("DAYLIGHT"), m_daylight, standardOffset(), daylightOffset());
    } else {
        observance(QStringLiteral("STANDARD"), Transition{}, standardOffset(), standardOffset());
    }
    lines.add(QStringLiteral("END"), QStringLiteral("VTIMEZONE"));
    return lines.bytes();
}

} // namespace engine
