#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace convert {

// What a conversion did, folder by folder: the mails seen, written, written with parts missing,
// failed (each with its reason), left out by the filters, the same counts for each other kind the
// conversion writes (contacts, appointments, ...), and the items it does not convert.
class ConversionReport
{
public:
    struct ItemNote
    {
        int serial = 0; // the item's position in the store, for the report's order
        QString item;   // "mail 17 \"Subject\"" or the item's position when it has no subject
        QString reason; // why it failed, or what is missing from what was written
    };

    // The items of one kind other than mail that a folder holds and the conversion writes.
    struct KindCounts
    {
        int seen = 0;
        int written = 0;
        int alreadyThere = 0; // held by the destination before the run
        int failed = 0;
        int filteredOut = 0;
    };

    struct Folder
    {
        QString path; // folder path in the store, "/"-separated
        int mailsSeen = 0;
        int written = 0;
        int alreadyThere = 0; // held by the destination before the run, left as they were
        int failed = 0;
        int filteredOut = 0;
        // Left out as copies of mails of a store converted before in the same run (--dedup); each
        // note's reason names the mail it is a copy of.
        std::vector<ItemNote> copies;
        std::map<QString, int> notConverted; // items that are not mail, by kind
        std::vector<ItemNote> failures;
        std::vector<ItemNote> incomplete; // written, but with parts that could not be read
        // Contacts, appointments, tasks, notes and journal entries, by kind ("contact", ...).
        std::map<QString, KindCounts> kinds;
    };

    Folder& folder(const QString& path);
    const std::vector<Folder>& folders() const { return m_folders; }

    // Problems that concern the whole store rather than one item (a folder that cannot be listed).
    void addStoreProblem(const QString& problem) { m_storeProblems << problem; }
    const QStringList& storeProblems() const { return m_storeProblems; }

    // Puts every folder's notes in store order (workers may finish items out of order).
    void sortNotes();

    // Recovered items the conversion took in, by state ("deleted", ...).
    void addRecovered(const QString& state, int count) { m_recovered[state] += count; }
    const std::map<QString, int>& recovered() const { return m_recovered; }

    void setStopped(bool stopped) { m_stopped = stopped; }
    // What was done with the written mails, for the summary ("Written as EML").
    void setWrittenAs(const QString& writtenAs) { m_writtenAs = writtenAs; }
    // Why the destination could not take more (a server gone for good); the conversion ended there.
    void setDestinationFailure(const QString& failure) { m_destinationFailure = failure; }
    const QString& destinationFailure() const { return m_destinationFailure; }
    bool stopped() const { return m_stopped; }

    int mailsSeen() const;
    int written() const;
    int alreadyThere() const;
    int failed() const;
    int incomplete() const;
    int filteredOut() const;
    int copies() const;
    int notConverted() const;
    // The counts of every kind other than mail over all folders.
    std::map<QString, KindCounts> kinds() const;
    int kindsFailed() const;
    bool hasFailures() const
    {
        return failed() > 0 || kindsFailed() > 0 || incomplete() > 0 || !m_storeProblems.isEmpty() ||
               !m_destinationFailure.isEmpty();
    }

    // A few lines for a message box or the end of a terminal run.
    QString summary() const;
    QByteArray toText(const QString& storePath, const QString& destination) const;
    QByteArray toJson(const QString& storePath, const QString& destination) const;

private:
    std::vector<Folder> m_folders;
    std::map<QString, int> m_recovered;
    std::map<QString, std::size_t> m_index;
    QStringList m_storeProblems;
    bool m_stopped = false;
    QString m_writtenAs = QStringLiteral("Written as EML");
    QString m_destinationFailure;
};

} // namespace convert
