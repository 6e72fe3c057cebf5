#include "cli/StoreCensus.h"

#include "../store/TestDataPath.h"
#include "store/Store.h"

#include <gtest/gtest.h>

namespace {

// The counts of the sample stores as an independent reader took them (testdata's README).
struct Expected
{
    const char* file;
    int folders; // with the root folder
    int messages;
    int attachments;
    int embedded;
};

constexpr Expected kSamples[] = {
    {"groupdocs-sample.ost", 39, 5, 5, 0},          {"tika-testPST.SO.ost", 7, 7, 1, 1},
    {"tika-various-body-types.SO.ost", 7, 4, 0, 0}, {"aspose-python-test.SO.ost", 25, 17, 51, 6},
    {"pstsdk-submessage.SO.ost", 6, 1, 1, 1},       {"pst-extractor-contacts.SO.ost", 8, 1, 0, 0},
    {"enron-sample-ansi.SO.ost", 5, 1, 0, 0},
};

TEST(StoreCensus, CountsOfEverySampleMatchTheIndependentReader)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    for (const Expected& sample : kSamples) {
        SCOPED_TRACE(sample.file);
        const auto opened = store::openOfflineStore(
            sharedTestData(QStringLiteral("stores/") + QString::fromLatin1(sample.file)));
        const cli::StoreCensus census = cli::takeCensus(*opened);
        EXPECT_EQ(census.folderCount(), sample.folders);
        EXPECT_EQ(census.messageCount(), sample.messages);
        EXPECT_EQ(census.attachmentCount(), sample.attachments);
        EXPECT_EQ(census.embeddedMessageCount(), sample.embedded);
        EXPECT_EQ(census.failureCount(), 0);
    }
}

TEST(StoreCensus, CountsKindsAndClasses)
{
    if (!haveSharedTestData())
        GTEST_SKIP() << "no shared test data";
    const auto opened =
        store::openOfflineStore(sharedTestData(QStringLiteral("stores/aspose-python-test.SO.ost")));
    const cli::StoreCensus census = cli::takeCensus(*opened);
    const auto kinds = census.kinds();
    EXPECT_EQ(kinds.at(store::ItemType::Email), 14);
    EXPECT_EQ(kinds.at(store::ItemType::Appointment), 1);
    EXPECT_EQ(kinds.at(store::ItemType::Contact), 1);
    const auto classes = census.classes();
    EXPECT_EQ(classes.at(QStringLiteral("IPM.Note")), 14);
    EXPECT_EQ(classes.at(QStringLiteral("IPM.Contact")), 1);
}

} // namespace
