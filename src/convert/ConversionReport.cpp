#include "ConversionReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <map>

namespace convert {

ConversionReport::Folder& ConversionReport::folder(const QString& path)
{
    const auto found = m_index.find(path);
    if (found != m_index.end())
        return m_folders[found->second];
    m_index.emplace(path, m_folders.size());
    m_folders.push_back(Folder{});
    m_folders.back().path = path;
    return m_folders.back();
}

void ConversionReport::sortNotes()
{
    const auto bySerial = [](const ItemNote& a, const ItemNote& b) {
        return a.serial < b.serial;
    };
    for (Folder& f : m_folders) {
        std::stable_sort(f.failures.begin(), f.failures.end(), bySerial);
        std::stable_sort(f.incomplete.begin(), f.incomplete.end(), bySerial);
        std::stable_sort(f.copies.begin(), f.copies.end(), bySerial);
    }
}

namespace {

template <typename Field> int total(const std::vector<ConversionReport::Folder>& folders, Field field)
{
    int sum = 0;
    for (const auto& folder : folders)
        sum += field(folder);
    return sum;
}

QString notesText(const std::vector<ConversionReport::ItemNote>& notes, const char* heading)
{
    QString text;
    for (const auto& note : notes)
        text += QStringLiteral("    %1 %2: %3\n").arg(QString::fromLatin1(heading), note.item, note.reason);
    return text;
}

QJsonArray notesJson(const std::vector<ConversionReport::ItemNote>& notes)
{
    QJsonArray array;
    for (const auto& note : notes)
        array.append(
            QJsonObject{{QStringLiteral("item"), note.item}, {QStringLiteral("reason"), note.reason}});
    return array;
}

} // namespace

int ConversionReport::mailsSeen() const
{
    return total(m_folders, [](const Folder& f) { return f.mailsSeen; });
}

int ConversionReport::written() const
{
    return total(m_folders, [](const Folder& f) { return f.written; });
}

int ConversionReport::copies() const
{
    return total(m_folders, [](const Folder& f) { return static_cast<int>(f.copies.size()); });
}

int ConversionReport::alreadyThere() const
{
    return total(m_folders, [](const Folder& f) { return f.alreadyThere; });
}

int ConversionReport::failed() const
{
    return total(m_folders, [](const Folder& f) { return f.failed; });
}

int ConversionReport::incomplete() const
{
    return total(m_folders, [](const Folder& f) { return static_cast<int>(f.incomplete.size()); });
}

int ConversionReport::filteredOut() const
{
    return total(m_folders, [](const Folder& f) { return f.filteredOut; });
}

int ConversionReport::notConverted() const
{
    return total(m_folders, [](const Folder& f) {
        int sum = 0;
        for (const auto& [kind, count] : f.notConverted)
            sum += count;
        return sum;
    });
}

std::map<QString, ConversionReport::KindCounts> ConversionReport::kinds() const
{
    std::map<QString, KindCounts> sums;
    for (const Folder& f : m_folders) {
        for (const auto& [kind, counts] : f.kinds) {
            KindCounts& sum = sums[kind];
            sum.seen += counts.seen;
            sum.written += counts.written;
            sum.alreadyThere += counts.alreadyThere;
            sum.failed += counts.failed;
            sum.filteredOut += counts.filteredOut;
        }
    }
    return sums;
}

int ConversionReport::kindsFailed() const
{
    int sum = 0;
    for (const auto& [kind, counts] : kinds())
        sum += counts.failed;
    return sum;
}

namespace {

QString kindCountsText(const QString& kind, const ConversionReport::KindCounts& counts)
{
    QString text = QStringLiteral("%1 items %2, written %3, failed %4")
                       .arg(kind)
                       .arg(counts.seen)
                       .arg(counts.written)
                       .arg(counts.failed);
    if (counts.alreadyThere > 0)
        text += QStringLiteral(", already there %1").arg(counts.alreadyThere);
    if (counts.filteredOut > 0)
        text += QStringLiteral(", filtered out %1").arg(counts.filteredOut);
    return text;
}

QJsonObject kindCountsJson(const std::map<QString, ConversionReport::KindCounts>& kinds)
{
    QJsonObject object;
    for (const auto& [kind, counts] : kinds)
        object.insert(kind, QJsonObject{{QStringLiteral("items"), counts.seen},
                                        {QStringLiteral("written"), counts.written},
                                        {QStringLiteral("alreadyThere"), counts.alreadyThere},
                                        {QStringLiteral("failed"), counts.failed},
                                        {QStringLiteral("filteredOut"), counts.filteredOut}});
    return object;
}

} // namespace

QString ConversionReport::summary() const
{
    QString text = QStringLiteral("Mails found: %1\n%2: %3").arg(mailsSeen()).arg(m_writtenAs).arg(written());
    if (incomplete() > 0)
        text += QStringLiteral(" (%1 with parts that could not be read)").arg(incomplete());
    if (alreadyThere() > 0)
        text += QStringLiteral("\nAlready there (left as they were): %1").arg(alreadyThere());
    if (copies() > 0)
        text += QStringLiteral("\nLeft out as copies of mails of an earlier store: %1").arg(copies());
    text += QStringLiteral("\nFailed: %1").arg(failed());
    if (filteredOut() > 0)
        text += QStringLiteral("\nLeft out by the folder or date filter: %1").arg(filteredOut());
    for (const auto& [kind, counts] : kinds())
        text += QStringLiteral("\n") + kindCountsText(kind.left(1).toUpper() + kind.mid(1), counts);
    if (kinds().empty()) {
        text += QStringLiteral("\nOther items, not converted (contacts, appointments, tasks, notes, ...): %1")
                    .arg(notConverted());
    } else {
        // Other kinds were chosen: say which items were left, as these may be mails.
        std::map<QString, int> left;
        for (const Folder& f : m_folders) {
            for (const auto& [kind, count] : f.notConverted)
                left[kind] += count;
        }
        QStringList parts;
        for (const auto& [kind, count] : left)
            parts << QStringLiteral("%1 %2").arg(kind).arg(count);
        text += QStringLiteral("\nItems of kinds not chosen, not converted: %1").arg(notConverted());
        if (!parts.isEmpty())
            text += QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    if (!m_recovered.empty()) {
        QStringList parts;
        int total = 0;
        for (const auto& [state, count] : m_recovered) {
            parts << QStringLiteral("%1 %2").arg(state).arg(count);
            total += count;
        }
        text += QStringLiteral("\nRecovered items taken in: %1 (%2)")
                    .arg(total)
                    .arg(parts.join(QStringLiteral(", ")));
    }
    if (!m_storeProblems.isEmpty())
        text += QStringLiteral("\nParts of the store that could not be read: %1").arg(m_storeProblems.size());
    if (!m_destinationFailure.isEmpty())
        text +=
            QStringLiteral("\nThe destination failed, the conversion ended there: ") + m_destinationFailure;
    else if (m_stopped)
        text += QStringLiteral("\nThe conversion was stopped before the end.");
    return text;
}

QByteArray ConversionReport::toText(const QString& storePath, const QString& destination) const
{
    QString text = QStringLiteral("OST to EML conversion report\n\nStore: %1\nDestination: %2\n\n")
                       .arg(storePath, destination);
    text += summary() + QStringLiteral("\n\n");
    for (const QString& problem : m_storeProblems)
        text += QStringLiteral("Store problem: %1\n").arg(problem);
    if (!m_storeProblems.isEmpty())
        text += QLatin1Char('\n');
    for (const Folder& f : m_folders) {
        // Folders without any item are left out of the text; the JSON lists every folder.
        if (f.mailsSeen == 0 && f.notConverted.empty() && f.filteredOut == 0 && f.kinds.empty())
            continue;
        text += QStringLiteral("%1\n  mails %2, written %3, failed %4")
                    .arg(f.path.isEmpty() ? QStringLiteral("/") : f.path)
                    .arg(f.mailsSeen)
                    .arg(f.written)
                    .arg(f.failed);
        if (f.alreadyThere > 0)
            text += QStringLiteral(", already there %1").arg(f.alreadyThere);
        if (f.filteredOut > 0)
            text += QStringLiteral(", filtered out %1").arg(f.filteredOut);
        if (!f.copies.empty())
            text += QStringLiteral(", copies left out %1").arg(f.copies.size());
        for (const auto& [kind, count] : f.notConverted)
            text += QStringLiteral(", not converted (%1) %2").arg(kind).arg(count);
        text += QLatin1Char('\n');
        for (const auto& [kind, counts] : f.kinds)
            text += QStringLiteral("  ") + kindCountsText(kind, counts) + QLatin1Char('\n');
        text += notesText(f.failures, "FAILED");
        text += notesText(f.incomplete, "incomplete");
        text += notesText(f.copies, "copy");
    }
    return text.toUtf8();
}

QByteArray ConversionReport::toJson(const QString& storePath, const QString& destination) const
{
    QJsonArray folders;
    for (const Folder& f : m_folders) {
        QJsonObject notConvertedObject;
        for (const auto& [kind, count] : f.notConverted)
            notConvertedObject.insert(kind, count);
        QJsonObject folderObject{
            {QStringLiteral("path"), f.path},
            {QStringLiteral("mails"), f.mailsSeen},
            {QStringLiteral("written"), f.written},
            {QStringLiteral("alreadyThere"), f.alreadyThere},
            {QStringLiteral("failed"), f.failed},
            {QStringLiteral("filteredOut"), f.filteredOut},
            {QStringLiteral("notConverted"), notConvertedObject},
            {QStringLiteral("failures"), notesJson(f.failures)},
            {QStringLiteral("incomplete"), notesJson(f.incomplete)},
        };
        if (!f.copies.empty())
            folderObject.insert(QStringLiteral("copies"), notesJson(f.copies));
        // Mail-only reports keep their shape.
        if (!f.kinds.empty())
            folderObject.insert(QStringLiteral("kinds"), kindCountsJson(f.kinds));
        folders.append(folderObject);
    }
    QJsonObject document{
        {QStringLiteral("store"), storePath},
        {QStringLiteral("destination"), destination},
        {QStringLiteral("stopped"), m_stopped},
        {QStringLiteral("destinationFailure"), m_destinationFailure},
        {QStringLiteral("totals"),
         QJsonObject{
             {QStringLiteral("mails"), mailsSeen()},
             {QStringLiteral("written"), written()},
             {QStringLiteral("alreadyThere"), alreadyThere()},
             {QStringLiteral("incomplete"), incomplete()},
             {QStringLiteral("failed"), failed()},
             {QStringLiteral("filteredOut"), filteredOut()},
             {QStringLiteral("notConverted"), notConverted()},
             {QStringLiteral("copies"), copies()},
         }},
        {QStringLiteral("storeProblems"), QJsonArray::fromStringList(m_storeProblems)},
        {QStringLiteral("folders"), folders},
    };
    if (!m_recovered.empty()) {
        QJsonObject recovered;
        for (const auto& [state, count] : m_recovered)
            recovered.insert(state, count);
        document.insert(QStringLiteral("recovered"), recovered);
    }
    if (const auto sums = kinds(); !sums.empty()) {
        QJsonObject totals = document.value(QStringLiteral("totals")).toObject();
        totals.insert(QStringLiteral("kinds"), kindCountsJson(sums));
        document.insert(QStringLiteral("totals"), totals);
    }
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace convert
