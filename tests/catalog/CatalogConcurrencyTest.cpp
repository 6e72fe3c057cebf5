#include "catalog/Catalogs.h"
#include "catalog/ItemSerialCounter.h"

#include "../support/MailView.h"

#include <atomic>
#include <gtest/gtest.h>
#include <set>
#include <thread>
#include <vector>

using namespace catalog;

namespace {

constexpr int MailCount = 20000;
constexpr int NodeCount = 7;

NodeId nodeFor(int serial)
{
    return NodeId{static_cast<quint32>(1 + serial % NodeCount)};
}

support::MailView mailFor(int serial)
{
    support::MailView record;
    record.name = QStringLiteral("Folder");
    record.node = nodeFor(serial);
    record.serial = serial;
    record.subject = QStringLiteral("Subject %1").arg(serial);
    record.body = QString(64, QLatin1Char('x'));
    return record;
}

// A record read on another thread is always whole: its texts, those in the text file too,
// match its serial.
bool isWhole(const Catalogs& catalogs, const MailRecord& record)
{
    const std::optional<MailTexts> texts = catalogs.mailTexts(record);
    return record.subject == QStringLiteral("Subject %1").arg(record.serial) &&
           record.node == nodeFor(record.serial) && texts && texts->body && texts->body->size() == 64;
}

TEST(CatalogConcurrency, ReadersSeeWholeRecordsWhileTheWriterAppends)
{
    Catalogs catalogs;
    std::atomic<bool> done{false};
    std::atomic<int> broken{0};

    std::thread writer([&] {
        for (int serial = 1; serial <= MailCount; ++serial)
            {
                const support::MailView mail = mailFor(serial);
                catalogs.AppendMailRecord(mail, mail);
            }
        done = true;
    });

    auto reader = [&](quint32 seed) {
        quint32 probe = seed;
        while (!done) {
            const qsizetype size = catalogs.mails().size();
            if (size > 0) {
                // Everything the size promises can be found, by position and by serial.
                const int serial = 1 + static_cast<int>(probe % static_cast<quint32>(size));
                const auto bySerial = catalogs.mails().bySerial(serial);
                const auto byPosition = catalogs.mails().at(serial - 1);
                if (!bySerial || !byPosition || bySerial != byPosition || !isWhole(catalogs, *bySerial))
                    ++broken;
            }
            const auto forNode =
                catalogs.mails().recordsForNode(nodeFor(static_cast<int>(probe % NodeCount)));
            int previous = 0;
            for (const auto& record : forNode) {
                if (!isWhole(catalogs, *record) || record->serial <= previous)
                    ++broken;
                previous = record->serial;
            }
            probe = probe * 7u + 13u;
        }
    };
    std::thread reader1(reader, 1);
    std::thread reader2(reader, 5);
    writer.join();
    reader1.join();
    reader2.join();

    EXPECT_EQ(broken.load(), 0);
    ASSERT_EQ(catalogs.mails().size(), MailCount);
    qsizetype total = 0;
    for (int n = 0; n < NodeCount; ++n)
        total += catalogs.mails().countForNode(NodeId{static_cast<quint32>(1 + n)});
    EXPECT_EQ(total, MailCount);
}

TEST(CatalogConcurrency, ClearWhileReadersHoldRecordsAndTheWriterAppends)
{
    Catalogs catalogs;
    std::atomic<bool> done{false};
    std::atomic<int> broken{0};

    std::thread writer([&] {
        for (int serial = 1; serial <= MailCount; ++serial) {
            {
                const support::MailView mail = mailFor(serial);
                catalogs.AppendMailRecord(mail, mail);
            }
            catalogs.AppendFolderRecord(QStringLiteral("F"), QStringLiteral("P"), 1, QString(), NodeId{100},
                                        nodeFor(serial));
        }
        done = true;
    });
    std::thread clearer([&] {
        while (!done) {
            catalogs.ClearCatalogs();
            std::this_thread::yield();
        }
    });
    std::thread reader([&] {
        while (!done) {
            // Snapshots taken before a clear stay readable after it.
            const auto snapshot = catalogs.mails().recordsFrom(0);
            std::this_thread::yield();
            for (const auto& record : snapshot) {
                if (!isWhole(catalogs, *record))
                    ++broken;
            }
        }
    });
    writer.join();
    clearer.join();
    reader.join();
    EXPECT_EQ(broken.load(), 0);
}

TEST(CatalogConcurrency, SerialCounterHandsOutEveryNumberOnce)
{
    ItemSerialCounter counter;
    constexpr int PerThread = 5000;
    std::vector<std::vector<int>> taken(4);
    std::vector<std::thread> threads;
    for (auto& list : taken)
        threads.emplace_back([&counter, &list] {
            for (int i = 0; i < PerThread; ++i)
                list.push_back(counter.next());
        });
    for (auto& thread : threads)
        thread.join();
    std::set<int> all;
    for (const auto& list : taken)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(4 * PerThread));
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), 4 * PerThread);
    EXPECT_EQ(counter.current(), 4 * PerThread);
}

} // namespace
