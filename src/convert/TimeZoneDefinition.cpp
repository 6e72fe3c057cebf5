#include "TimeZoneDefinition.h"

#include "ContentLines.h"

#include <QTimeZone>
#include <QtEndian>
#include <algorithm>
#include <cstdlib>

namespace convert {

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

constexpr int kFirstYear = 1601;

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
    std::vector<std::pair<Rule, bool>> read; // with the flag of the rule in effect
    for (int index = 0; index < ruleCount; ++index) {
        const qsizetype at = rulesAt + index * kRuleSize;
        if (at + kRuleSize > blob.size())
            break;
        Rule rule;
        // Our calendar arithmetic starts in 1601, as FILETIMEs do.
        rule.year = std::max<int>(word(blob, at + 6), kFirstYear);
        rule.bias = signedLong(blob, at + 22);
        rule.standardBias = signedLong(blob, at + 26);
        rule.daylightBias = signedLong(blob, at + 30);
        rule.standard = transition(blob, at + 34);
        rule.daylight = transition(blob, at + 50);
        read.emplace_back(rule, (word(blob, at + 4) & 0x0002) != 0);
    }
    if (read.empty())
        return std::nullopt;
    std::stable_sort(read.begin(), read.end(),
                     [](const auto& a, const auto& b) { return a.first.year < b.first.year; });
    // Of two rules for the same year the one in effect wins, else the first written.
    for (const auto& [rule, effective] : read) {
        if (!zone.m_rules.empty() && zone.m_rules.back().year == rule.year) {
            if (effective)
                zone.m_rules.back() = rule;
            continue;
        }
        zone.m_rules.push_back(rule);
    }
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
    Rule rule;
    rule.year = kFirstYear;
    rule.bias = signedLong(blob, 0);
    rule.standardBias = signedLong(blob, 4);
    rule.daylightBias = signedLong(blob, 8);
    rule.standard = transition(blob, 14);
    rule.daylight = transition(blob, 32);
    zone.m_rules.push_back(rule);
    return zone;
}

bool TimeZoneDefinition::Rule::isDaylight(const QDateTime& localStandard) const
{
    if (!hasDaylightTime())
        return false;
    const int localYear = localStandard.date().year();
    // Both transitions in local standard time: the change back happens at its hour in daylight time.
    const QDateTime toDaylight(daylight.in(localYear), QTime(daylight.hour, daylight.minute),
                               QTimeZone::utc());
    const QDateTime toStandard =
        QDateTime(standard.in(localYear), QTime(standard.hour, standard.minute), QTimeZone::utc())
            .addSecs(-60LL * (daylightOffset() - standardOffset()));
    if (toDaylight < toStandard)
        return localStandard >= toDaylight && localStandard < toStandard;
    // Southern hemisphere: daylight time spans the turn of the year.
    return localStandard >= toDaylight || localStandard < toStandard;
}

int TimeZoneDefinition::Rule::offsetAt(const QDateTime& localStandard) const
{
    return isDaylight(localStandard) ? daylightOffset() : standardOffset();
}

bool TimeZoneDefinition::hasDaylightTime() const
{
    return std::any_of(m_rules.begin(), m_rules.end(),
                       [](const Rule& rule) { return rule.hasDaylightTime(); });
}

const TimeZoneDefinition::Rule& TimeZoneDefinition::ruleFor(int year) const
{
    auto rule = m_rules.begin();
    for (auto next = rule + 1; next != m_rules.end() && next->year <= year; ++next)
        rule = next;
    return *rule;
}

QDateTime TimeZoneDefinition::toLocal(const QDateTime& utc) const
{
    const QDateTime instant = utc.toUTC();
    // The rules change at the local New Year, so the UTC year may name the rule of the year before.
    const Rule* rule = &ruleFor(instant.date().year());
    QDateTime standard = instant.addSecs(60LL * rule->standardOffset());
    if (const Rule& local = ruleFor(standard.date().year()); &local != rule) {
        rule = &local;
        standard = instant.addSecs(60LL * rule->standardOffset());
    }
    return instant.addSecs(60LL * rule->offsetAt(standard));
}

QDateTime TimeZoneDefinition::toUtc(const QDateTime& local) const
{
    const QDateTime asUtc(local.date(), local.time(), QTimeZone::utc());
    const QDateTime standardUtc = asUtc.addSecs(-60LL * ruleFor(local.date().year()).standardOffset());
    if (toLocal(standardUtc) == asUtc)
        return standardUtc;
    const QDateTime daylightUtc = asUtc.addSecs(-60LL * ruleFor(local.date().year()).daylightOffset());
    return toLocal(daylightUtc) == asUtc ? daylightUtc : standardUtc;
}

QByteArray TimeZoneDefinition::vtimezone() const
{
    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VTIMEZONE"));
    lines.addText(QStringLiteral("TZID"), m_name);
    const auto observance = [&](const QString& kind, const QDateTime& start, const QString& rrule, int from,
                                int to) {
        lines.add(QStringLiteral("BEGIN"), kind);
        lines.add(QStringLiteral("DTSTART"), start.toString(QStringLiteral("yyyyMMdd'T'HHmmss")));
        if (!rrule.isEmpty())
            lines.add(QStringLiteral("RRULE"), rrule);
        lines.add(QStringLiteral("TZOFFSETFROM"), offsetText(from));
        lines.add(QStringLiteral("TZOFFSETTO"), offsetText(to));
        lines.add(QStringLiteral("END"), kind);
    };
    // Each rule from its year (the first from the start of the calendar) to the year before the
    // next rule's, where its yearly changes end: one change a year, so the years are the COUNT.
    // (COUNT rather than UNTIL: common readers mishandle the UTC UNTIL that zones need.)
    for (std::size_t index = 0; index < m_rules.size(); ++index) {
        const Rule& rule = m_rules[index];
        const int first = index == 0 ? kFirstYear : rule.year;
        const std::optional<int> last =
            index + 1 < m_rules.size() ? std::optional<int>(m_rules[index + 1].year - 1) : std::nullopt;
        const QDateTime newYear(QDate(first, 1, 1), QTime(0, 0), QTimeZone::utc());
        const int before =
            index == 0 ? rule.standardOffset() : m_rules[index - 1].offsetAt(newYear.addSecs(-1));
        if (!rule.hasDaylightTime()) {
            observance(QStringLiteral("STANDARD"), newYear, QString(), before, rule.standardOffset());
            continue;
        }
        // A rule with another base offset takes over at the New Year.
        if (index > 0 && before != rule.offsetAt(newYear))
            observance(rule.isDaylight(newYear) ? QStringLiteral("DAYLIGHT") : QStringLiteral("STANDARD"),
                       newYear, QString(), before, rule.offsetAt(newYear));
        const auto yearly = [&](const QString& kind, const Transition& t, int from, int to) {
            QString rrule = QStringLiteral("FREQ=YEARLY;BYMONTH=%1;BYDAY=%2%3")
                                .arg(t.month)
                                .arg(t.week == 5 ? -1 : t.week)
                                .arg(QLatin1String(kDayNames[t.dayOfWeek]));
            if (last)
                rrule += QStringLiteral(";COUNT=%1").arg(std::max(1, *last - first + 1));
            observance(kind, QDateTime(t.in(first), QTime(t.hour, t.minute), QTimeZone::utc()), rrule, from,
                       to);
        };
        yearly(QStringLiteral("STANDARD"), rule.standard, rule.daylightOffset(), rule.standardOffset());
        yearly(QStringLiteral("DAYLIGHT"), rule.daylight, rule.standardOffset(), rule.daylightOffset());
    }
    lines.add(QStringLiteral("END"), QStringLiteral("VTIMEZONE"));
    return lines.bytes();
}

} // namespace convert
