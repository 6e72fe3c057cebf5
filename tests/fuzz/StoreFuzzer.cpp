// libFuzzer target: a store file of arbitrary bytes is opened through the store layer with libpff,
// walked completely and every value that the exports read is read, as the scan and the conversion
// do. (NativeReaderFuzzer.cpp does the same, and more, for the native reader.)
// Anything but a clean StoreError for damaged data (a crash, a hang, a leak, undefined behaviour)
// is a finding.

#include "store/Store.h"
#include "store/StoreError.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr int kMaxItems = 4000;
constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxAttachmentRead = 1 << 20;

// Property ids read by the scan and the conversion (headers, recipients, attachments, contacts,
// appointments, named properties).
constexpr std::uint32_t kTags[] = {
    0x001A, 0x0017, 0x0026, 0x0036, 0x0037, 0x0039, 0x0042, 0x0065, 0x0070, 0x007D, 0x0C15, 0x0C1A, 0x0C1F,
    0x0E06, 0x0E07, 0x0E08, 0x1000, 0x1009, 0x1013, 0x1035, 0x1039, 0x1042, 0x3001, 0x3002, 0x3003, 0x3007,
    0x3008, 0x3704, 0x3705, 0x3707, 0x370E, 0x3712, 0x39FE, 0x3A06, 0x3A08, 0x3A16, 0x3A44, 0x3FDE, 0x5D01,
    0x5FF6, 0x8005, 0x8205, 0x8208, 0x820D, 0x820E, 0x8213, 0x8232, 0x8235, 0x8236,
};

struct Budget
{
    int items = 0;
    bool spend() { return ++items <= kMaxItems; }
};

template <typename Read>
void attempt(Read read)
{
    try {
        read();
    } catch (const store::StoreError&) {
        // Damaged data must end as this error and nothing worse.
    }
}

void readProperties(const store::Item& item, int recordSet)
{
    for (const std::uint32_t tag : kTags) {
        attempt([&] { (void)item.valueType(tag, recordSet); });
        attempt([&] { (void)item.utf8StringSize(tag, recordSet); });
        attempt([&] { (void)item.utf8String(tag, recordSet); });
        attempt([&] { (void)item.fileTime(tag, recordSet); });
        attempt([&] { (void)item.integer32(tag, recordSet); });
        attempt([&] { (void)item.integer16(tag, recordSet); });
        attempt([&] { (void)item.boolean(tag, recordSet); });
        attempt([&] { (void)item.binary(tag, recordSet); });
    }
}

void walkMessage(const store::Item& message, Budget& budget, int depth);

void walkAttachment(const store::Item& attachment, Budget& budget, int depth)
{
    readProperties(attachment, 0);
    attempt([&] {
        const store::AttachmentType type = attachment.attachmentType();
        if (type == store::AttachmentType::Data) {
            const std::uint64_t size = attachment.attachmentDataSize();
            (void)attachment.readAttachmentData(0, static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxAttachmentRead)));
            if (size > 16)
                (void)attachment.readAttachmentData(size - 16, 64);
        } else if (type == store::AttachmentType::Item && depth < kMaxDepth) {
            if (const auto embedded = attachment.embeddedItem())
                walkMessage(*embedded, budget, depth + 1);
        }
    });
}

void walkMessage(const store::Item& message, Budget& budget, int depth)
{
    if (!budget.spend())
        return;
    attempt([&] { (void)message.type(); });
    attempt([&] { (void)message.identifier(); });
    readProperties(message, 0);
    attempt([&] { (void)message.messageUtf8String(0x0037); });
    attempt([&] { (void)message.htmlBody(); });
    attempt([&] { (void)message.rtfBody(); });
    attempt([&] { (void)message.plainTextBody(); });
    attempt([&] {
        if (const auto recipients = message.recipients()) {
            const int sets = recipients->recordSetCount();
            for (int set = 0; set < sets && budget.spend(); ++set)
                readProperties(*recipients, set);
        }
    });
    attempt([&] {
        const int count = message.attachmentCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { walkAttachment(*message.attachment(index), budget, depth); });
    });
}

void walkFolder(const store::Item& folder, Budget& budget, int depth)
{
    if (!budget.spend() || depth > kMaxDepth)
        return;
    readProperties(folder, 0);
    attempt([&] {
        const int count = folder.subItemCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { (void)folder.subItem(index)->type(); });
    });
    attempt([&] {
        const int count = folder.subFolderCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { walkFolder(*folder.subFolder(index), budget, depth + 1); });
    });
    attempt([&] {
        const int count = folder.subMessageCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { walkMessage(*folder.subMessage(index), budget, 0); });
    });
}

const std::string& scratchPath()
{
    static const std::string path = "/dev/shm/ost2eml-fuzz-" + std::to_string(getpid()) + ".ost";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    try {
        store::OpenOptions options;
        options.reader = store::ReaderKind::Libpff;
        const auto opened = store::openStore(QString::fromStdString(scratchPath()), options);
        (void)opened->contentType();
        (void)opened->encryptionType();
        (void)opened->formatType();
        Budget budget;
        walkFolder(*opened->rootFolder(), budget, 0);
    } catch (const store::StoreError&) {
    }
    return 0;
}
