#include "ReportMerge.h"

#include <QJsonArray>

namespace convert {

namespace {

// Adds the numbers of from into into, nested objects by their own keys.
void addCounts(QJsonObject& into, const QJsonObject& from)
{
    for (auto it = from.begin(); it != from.end(); ++it) {
        if (it.value().isObject()) {
            QJsonObject nested = into.value(it.key()).toObject();
            addCounts(nested, it.value().toObject());
            into.insert(it.key(), nested);
        } else if (it.value().isDouble()) {
            into.insert(it.key(), into.value(it.key()).toInteger() + it.value().toInteger());
        }
    }
}

QString countsText(const QJsonObject& totals)
{
    QString text = QStringLiteral("mails %1, written %2, already there %3, failed %4")
                       .arg(totals.value(QStringLiteral("mails")).toInteger())
                       .arg(totals.value(QStringLiteral("written")).toInteger())
                       .arg(totals.value(QStringLiteral("alreadyThere")).toInteger())
                       .arg(totals.value(QStringLiteral("failed")).toInteger());
    if (const qint64 copies = totals.value(QStringLiteral("copies")).toInteger(); copies > 0)
        text += QStringLiteral(", copies left out %1").arg(copies);
    return text;
}

} // namespace

QJsonObject ReportMerge::merge(const QList<QJsonObject>& reports)
{
    QJsonArray stores;
    QJsonObject totals;
    QJsonArray failures;
    bool stopped = false;
    for (const QJsonObject& report : reports) {
        // A merged report merges again by its stores.
        const QList<QJsonObject> parts = [&] {
            QList<QJsonObject> found;
            if (report.contains(QStringLiteral("stores"))) {
                for (const QJsonValue& store : report.value(QStringLiteral("stores")).toArray())
                    found << store.toObject();
            } else {
                found << report;
            }
            return found;
        }();
        for (const QJsonObject& part : parts) {
            stores.append(part);
            addCounts(totals, part.value(QStringLiteral("totals")).toObject());
            stopped = stopped || part.value(QStringLiteral("stopped")).toBool();
            if (const QString failure = part.value(QStringLiteral("destinationFailure")).toString();
                !failure.isEmpty())
                failures.append(QString(part.value(QStringLiteral("store")).toString() + QStringLiteral(": ") + failure));
        }
    }
    return QJsonObject{
        {QStringLiteral("stores"), stores},
        {QStringLiteral("totals"), totals},
        {QStringLiteral("stopped"), stopped},
        {QStringLiteral("destinationFailures"), failures},
    };
}

QString ReportMerge::totalsLine(const QJsonObject& merged)
{
    return QStringLiteral("All stores: ") + countsText(merged.value(QStringLiteral("totals")).toObject());
}

QByteArray ReportMerge::toText(const QJsonObject& merged)
{
    const QJsonArray stores = merged.value(QStringLiteral("stores")).toArray();
    qsizetype notConverted = 0;
    for (const QJsonValue& value : stores)
        notConverted += value.toObject().contains(QStringLiteral("failure")) ? 1 : 0;
    QString text = QStringLiteral("OST to EML conversion report, %1 stores\n\n%2\n")
                       .arg(stores.size())
                       .arg(totalsLine(merged));
    if (notConverted > 0)
        text += QStringLiteral("Stores not converted: %1\n").arg(notConverted);
    for (const QJsonValue& failure : merged.value(QStringLiteral("destinationFailures")).toArray())
        text += QStringLiteral("Destination failure: %1\n").arg(failure.toString());
    text += QLatin1Char('\n');
    for (const QJsonValue& value : stores) {
        const QJsonObject store = value.toObject();
        const QString failure = store.value(QStringLiteral("failure")).toString();
        text += QStringLiteral("%1 -> %2\n  %3\n")
                    .arg(store.value(QStringLiteral("store")).toString(),
                         store.value(QStringLiteral("destination")).toString(),
                         failure.isEmpty() ? countsText(store.value(QStringLiteral("totals")).toObject())
                                           : QStringLiteral("NOT CONVERTED: ") + failure);
    }
    return text.toUtf8();
}

} // namespace convert
