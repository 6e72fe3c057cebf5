#include "RecurrencePattern.h"

#include "store/CodePage.h"

#include <QTimeZone>
#include <QtEndian>
#include <algorithm>

namespace convert {

namespace {

// Reads little-endian values and gives up (ok() false) at the first read past the end.
class Reader
{
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}
    bool ok() const { return m_ok; }
    std::uint32_t u16()
    {
        return take(2) ? qFromLittleEndian<std::uint16_t>(m_data.constData() + m_at - 2) : 0;
    }
    std::uint32_t u32()
    {
        return take(4) ? qFromLittleEndian<std::uint32_t>(m_data.constData() + m_at - 4) : 0;
    }
    QByteArray bytes(qsizetype size) { return take(size) ? m_data.mid(m_at - size, size) : QByteArray(); }
    void skip(qsizetype size) { take(size); }

private:
    bool take(qsizetype size)
    {
        if (!m_ok || size < 0 || m_data.size() - m_at < size) {
            m_ok = false;
            return false;
        }
        m_at += size;
        return true;
    }
    const QByteArray& m_data;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// Minutes since 1601-01-01 00:00 as a plain date-time.
QDateTime fromMinutes(std::uint32_t minutes)
{
    return QDateTime(QDate(1601, 1, 1), QTime(0, 0), QTimeZone::utc()).addSecs(60LL * minutes);
}

const char* const kDayNames[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

constexpr std::uint32_t kMaxInstances = 100000;

} // namespace

std::optional<RecurrencePattern> RecurrencePattern::parse(const QByteArray& blob, bool withTimes,
                                                          int codePage)
{
    Reader in(blob);
    RecurrencePattern p;
    in.u16(); // reader version
    in.u16(); // writer version
    const std::uint32_t frequency = in.u16();
    const std::uint32_t patternType = in.u16();
    in.u16(); // calendar type
    in.u32(); // first date-time
    const std::uint32_t period = in.u32();
    in.u32(); // sliding flag
    if (!in.ok() || frequency < 0x200A || frequency > 0x200D)
        return std::nullopt;
    p.yearly = frequency == 0x200D;
    switch (patternType) {
    case 0x0000:
        p.type = Type::Daily;
        p.period = static_cast<int>(std::max<std::uint32_t>(1, period / 1440));
        break;
    case 0x0001:
        p.type = Type::Weekly;
        p.days = in.u32() & 0x7F;
        break;
    case 0x0002:
    case 0x000A:
        p.type = Type::Monthly;
        p.dayOfMonth = static_cast<int>(in.u32());
        break;
    case 0x0003:
    case 0x000B:
        p.type = Type::MonthNth;
        p.days = in.u32() & 0x7F;
        p.nth = static_cast<int>(in.u32());
        break;
    case 0x0004:
    case 0x000C:
        p.type = Type::MonthEnd;
        in.u32();
        break;
    default:
        return std::nullopt;
    }
    if (p.type != Type::Daily)
        p.period = static_cast<int>(std::clamp<std::uint32_t>(period, 1, 1200));
    if (p.yearly && p.type != Type::Daily && p.type != Type::Weekly)
        p.period = std::max(1, p.period / 12);
    const std::uint32_t endType = in.u32();
    p.end = endType == 0x2021 ? End::ByDate : endType == 0x2022 ? End::AfterCount : End::Never;
    p.occurrences = static_cast<int>(std::min(in.u32(), kMaxInstances));
    p.firstDayOfWeek = static_cast<int>(in.u32() % 7);
    const std::uint32_t deletedCount = in.u32();
    if (deletedCount > kMaxInstances)
        return std::nullopt;
    for (std::uint32_t i = 0; i < deletedCount && in.ok(); ++i)
        p.deletedDates.push_back(fromMinutes(in.u32()).date());
    const std::uint32_t modifiedCount = in.u32();
    if (modifiedCount > kMaxInstances)
        return std::nullopt;
    for (std::uint32_t i = 0; i < modifiedCount && in.ok(); ++i)
        p.modifiedDates.push_back(fromMinutes(in.u32()).date());
    p.startDate = fromMinutes(in.u32()).date();
    p.endDate = fromMinutes(in.u32()).date();
    if (!in.ok() || ((p.type == Type::Weekly || p.type == Type::MonthNth) && p.days == 0))
        return std::nullopt;
    if (!withTimes)
        return p;

    in.u32(); // reader version 2
    const std::uint32_t writerVersion2 = in.u32();
    p.startMinutes = static_cast<int>(in.u32() % 1440);
    p.endMinutes = static_cast<int>(in.u32());
    const std::uint32_t exceptionCount = in.u16();
    if (!in.ok())
        return std::nullopt;
    std::vector<std::uint32_t> flags;
    for (std::uint32_t i = 0; i < exceptionCount && in.ok(); ++i) {
        Exception e;
        e.start = fromMinutes(in.u32());
        e.end = fromMinutes(in.u32());
        e.originalDate = fromMinutes(in.u32()).date();
        const std::uint32_t overrides = in.u16();
        const auto text = [&] {
            in.u16();
            const std::uint32_t size = in.u16();
            return store::decodeCodePage(in.bytes(size), codePage);
        };
        if (overrides & 0x0001)
            e.subject = text();
        if (overrides & 0x0002)
            in.u32(); // meeting type
        if (overrides & 0x0004)
            e.reminderMinutes = static_cast<int>(in.u32());
        if (overrides & 0x0008)
            e.reminderSet = in.u32() != 0;
        if (overrides & 0x0010)
            e.location = text();
        if (overrides & 0x0020)
            e.busyStatus = static_cast<int>(in.u32());
        if (overrides & 0x0040)
            in.u32(); // attachment
        if (overrides & 0x0080)
            e.allDay = in.u32() != 0;
        if (overrides & 0x0100)
            in.u32(); // colour
        e.ownBody = (overrides & 0x0200) != 0;
        flags.push_back(overrides);
        p.exceptions.push_back(std::move(e));
    }
    if (!in.ok())
        return std::nullopt;
    // The extended exceptions carry the subjects and locations as UTF-16; they are optional in
    // older blobs, so a short one keeps the 8-bit texts.
    in.skip(in.u32()); // reserved block 1
    for (std::size_t i = 0; i < p.exceptions.size() && in.ok(); ++i) {
        if (writerVersion2 >= 0x3009)
            in.skip(in.u32()); // change highlight
        in.skip(in.u32());     // reserved block EE1
        if (flags[i] & 0x0011) {
            in.skip(12); // start, end and original start again
            const auto wide = [&] {
                const std::uint32_t length = in.u16();
                const QByteArray data = in.bytes(2 * length);
                return QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()),
                                          data.size() / 2);
            };
            if (flags[i] & 0x0001) {
                const QString subject = wide();
                if (in.ok())
                    p.exceptions[i].subject = subject;
            }
            if (flags[i] & 0x0010) {
                const QString location = wide();
                if (in.ok())
                    p.exceptions[i].location = location;
            }
            in.skip(in.u32()); // reserved block EE2
        }
    }
    return p;
}

QString RecurrencePattern::rrule(const QString& until) const
{
    const auto dayList = [&] {
        QStringList names;
        for (int day = 0; day < 7; ++day) {
            if (days & (1u << day))
                names << QLatin1String(kDayNames[day]);
        }
        return names.join(QLatin1Char(','));
    };
    QString rule;
    const int month = startDate.month();
    switch (type) {
    case Type::Daily:
        rule = QStringLiteral("FREQ=DAILY");
        break;
    case Type::Weekly:
        rule = QStringLiteral("FREQ=WEEKLY");
        break;
    case Type::Monthly:
    case Type::MonthNth:
    case Type::MonthEnd:
        rule = yearly ? QStringLiteral("FREQ=YEARLY") : QStringLiteral("FREQ=MONTHLY");
        break;
    }
    if (period > 1)
        rule += QStringLiteral(";INTERVAL=%1").arg(period);
    switch (type) {
    case Type::Daily:
        break;
    case Type::Weekly:
        rule += QStringLiteral(";BYDAY=") + dayList();
        if (period > 1 || firstDayOfWeek != 1)
            rule += QStringLiteral(";WKST=") + QLatin1String(kDayNames[firstDayOfWeek]);
        break;
    case Type::Monthly:
        if (yearly)
            rule += QStringLiteral(";BYMONTH=%1").arg(month);
        // Day 31 (or 29, 30) stands for the month's last day in months that are shorter.
        rule += dayOfMonth >= 29 ? QStringLiteral(";BYMONTHDAY=%1,-1;BYSETPOS=1").arg(dayOfMonth)
                                 : QStringLiteral(";BYMONTHDAY=%1").arg(dayOfMonth);
        break;
    case Type::MonthNth:
        if (yearly)
            rule += QStringLiteral(";BYMONTH=%1").arg(month);
        rule +=
            QStringLiteral(";BYDAY=") + dayList() + QStringLiteral(";BYSETPOS=%1").arg(nth >= 5 ? -1 : nth);
        break;
    case Type::MonthEnd:
        if (yearly)
            rule += QStringLiteral(";BYMONTH=%1").arg(month);
        rule += QStringLiteral(";BYMONTHDAY=-1");
        break;
    }
    if (end == End::AfterCount)
        rule += QStringLiteral(";COUNT=%1").arg(occurrences);
    else if (end == End::ByDate)
        rule += QStringLiteral(";UNTIL=") + until;
    return rule;
}

std::vector<QDate> RecurrencePattern::removedDates() const
{
    std::vector<QDate> removed;
    for (const QDate& date : deletedDates) {
        const bool modified = std::any_of(exceptions.begin(), exceptions.end(),
                                          [&](const Exception& e) { return e.originalDate == date; });
        if (!modified)
            removed.push_back(date);
    }
    return removed;
}

} // namespace convert
