#include "TestDataPath.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// Finds the first message of a kind anywhere below a folder.
std::unique_ptr<store::Item> findMessage(const store::Item& folder, store::ItemType kind)
{
    for (int index = 0; index < folder.subMessageCount(); ++index) {
        auto message = folder.subMessage(index);
        if (message->type() == kind)
            return message;
    }
    for (int index = 0; index < folder.subFolderCount(); ++index) {
        if (auto found = findMessage(*folder.subFolder(index), kind))
            return found;
    }
    return nullptr;
}

class SampleStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveSharedTestData())
            GTEST_SKIP() << "no shared test data";
    }
};

TEST_F(SampleStore, ReadsMailPropertiesBodiesAndAttachments)
{
    const auto opened =
        store::openOfflineStore(sharedTestData(QStringLiteral("stores/pstsdk-submessage.SO.ost")));
    const auto mail = findMessage(*opened->rootFolder(), store::ItemType::Email);
    ASSERT_NE(mail, nullptr);
    // Missing values are empty, never errors.
    EXPECT_FALSE(mail->utf8String(0x6FFF).has_value());
    EXPECT_FALSE(mail->integer32(0x6FFE).has_value());
    const auto messageClass = mail->utf8String(0x001A);
    ASSERT_TRUE(messageClass.has_value());
    EXPECT_TRUE(messageClass->startsWith("IPM.Note"));
    EXPECT_EQ(mail->utf8String(0x001A), mail->messageUtf8String(0x001A));
    EXPECT_EQ(mail->utf8StringSize(0x001A), std::optional<std::size_t>(messageClass->size() + 1));
    EXPECT_EQ(mail->valueType(0x001A), std::optional<std::uint32_t>(0x001F));
    EXPECT_TRUE(mail->integer32(0x0E07).has_value()); // message flags
    EXPECT_TRUE(mail->fileTime(0x3007).has_value());  // creation time

    ASSERT_EQ(mail->attachmentCount(), 1);
    const auto attachment = mail->attachment(0);
    ASSERT_EQ(attachment->attachmentType(), store::AttachmentType::Item);
    const auto embedded = attachment->embeddedItem();
    ASSERT_NE(embedded, nullptr);
    EXPECT_EQ(embedded->type(), store::ItemType::Email);
    // Reading past the end of the sub-item lists fails as an error, not a crash.
    EXPECT_THROW(mail->attachment(5), store::StoreError);
    EXPECT_THROW(opened->rootFolder()->subFolder(1000), store::StoreError);
}

TEST_F(SampleStore, ReadsRecipientsAndAttachmentData)
{
    const auto opened =
        store::openOfflineStore(sharedTestData(QStringLiteral("stores/aspose-python-test.SO.ost")));
    const auto root = opened->rootFolder();
    // Walk every mail: recipients as record sets, attachment data read in pieces equal to the whole.
    int recipientsSeen = 0;
    int dataAttachments = 0;
    std::function<void(const store::Item&)> walk = [&](const store::Item& folder) {
        for (int m = 0; m < folder.subMessageCount(); ++m) {
            const auto message = folder.subMessage(m);
            if (message->type() != store::ItemType::Email)
                continue;
            if (const auto recipients = message->recipients()) {
                for (int set = 0; set < recipients->recordSetCount(); ++set) {
                    if (recipients->utf8String(0x3001, set))
                        ++recipientsSeen;
                }
            }
            for (int a = 0; a < message->attachmentCount(); ++a) {
                const auto attachment = message->attachment(a);
                if (attachment->attachmentType() != store::AttachmentType::Data)
                    continue;
                ++dataAttachments;
                const std::uint64_t size = attachment->attachmentDataSize();
                const QByteArray whole =
                    attachment->readAttachmentData(0, static_cast<std::size_t>(size) + 100);
                EXPECT_EQ(static_cast<std::uint64_t>(whole.size()), size);
                if (size > 10) {
                    const QByteArray tail = attachment->readAttachmentData(size - 10, 100);
                    EXPECT_EQ(tail, whole.right(10));
                }
            }
        }
        for (int f = 0; f < folder.subFolderCount(); ++f)
            walk(*folder.subFolder(f));
    };
    walk(*root);
    EXPECT_GT(recipientsSeen, 0);
    EXPECT_GT(dataAttachments, 0);
}

TEST_F(SampleStore, ItemsOutliveTheStoreObject)
{
    std::unique_ptr<store::Item> root;
    {
        const auto opened =
            store::openOfflineStore(sharedTestData(QStringLiteral("stores/tika-testPST.SO.ost")));
        root = opened->rootFolder();
    }
    // The file stays open for as long as an item taken from it lives.
    EXPECT_GT(root->subFolderCount(), 0);
    EXPECT_EQ(root->subFolder(0)->type(), store::ItemType::Folder);
}

} // namespace
