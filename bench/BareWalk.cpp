// The floor for a scan: walks every folder and item of a store through the store layer and reads
// the same properties, bodies, recipients and attachment names that the scan reads, keeping
// nothing. A scan cannot be cheaper than this; the benchmark compares the two.

#include "store/Store.h"
#include "store/StoreError.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kMailTags[] = {0x0037, 0x0C1A, 0x0C1F, 0x3001, 0x0070};
constexpr std::uint32_t kMailNumbers[] = {0x0E08, 0x0E07, 0x0017, 0x0026, 0x0036};
constexpr std::uint32_t kMailTimes[] = {0x0039, 0x0E06, 0x3007, 0x3008};
constexpr std::uint32_t kContactTags[] = {0x3001, 0x3A06, 0x3A11, 0x3A16, 0x3A17, 0x3A08,
                                          0x3A09, 0x3A1C, 0x3A18, 0x3A19, 0x3A21, 0x3A26,
                                          0x3A27, 0x3A28, 0x3A29, 0x8005, 0x3A44, 0x3A45};
constexpr std::uint32_t kAppointmentTags[] = {0x0037, 0x8208, 0x8232};
constexpr std::uint32_t kAppointmentTimes[] = {0x820D, 0x820E, 0x8235, 0x8236};

std::size_t g_bytes = 0;
long g_items = 0;

void touch(const std::optional<QByteArray>& value)
{
    if (value)
        g_bytes += static_cast<std::size_t>(value->size());
}

void readMail(const store::Item& mail)
{
    for (const auto tag : kMailTags)
        touch(mail.messageUtf8String(tag));
    for (const auto tag : kMailNumbers)
        (void)mail.integer32(tag);
    for (const auto tag : kMailTimes)
        (void)mail.fileTime(tag);
    touch(mail.htmlBody());
    touch(mail.rtfBody());
    touch(mail.plainTextBody());
    if (const auto recipients = mail.recipients()) {
        for (int set = 0; set < recipients->recordSetCount(); ++set) {
            for (const auto tag : {0x3001u, 0x5FF6u, 0x3002u, 0x3003u})
                touch(recipients->utf8String(tag, set));
        }
    }
    for (int index = 0; index < mail.attachmentCount(); ++index) {
        const auto attachment = mail.attachment(index);
        if (attachment->attachmentType() == store::AttachmentType::Item) {
            if (const auto embedded = attachment->embeddedItem())
                readMail(*embedded);
        } else {
            touch(attachment->utf8String(0x3707));
        }
    }
}

void walk(const store::Item& folder)
{
    touch(folder.utf8String(0x3001));
    for (int index = 0; index < folder.subFolderCount(); ++index)
        walk(*folder.subFolder(index));
    for (int index = 0; index < folder.subMessageCount(); ++index) {
        try {
            const auto message = folder.subMessage(index);
            ++g_items;
            switch (message->type()) {
            case store::ItemType::Email:
            case store::ItemType::EmailSmime:
                readMail(*message);
                break;
            case store::ItemType::Contact:
                for (const auto tag : kContactTags)
                    touch(message->utf8String(tag));
                break;
            case store::ItemType::Appointment:
                for (const auto tag : kAppointmentTags)
                    touch(message->utf8String(tag));
                for (const auto tag : kAppointmentTimes)
                    (void)message->fileTime(tag);
                (void)message->integer32(0x8213);
                (void)message->integer32(0x8205);
                break;
            default:
                break;
            }
        } catch (const store::StoreError&) {
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bare_walk STORE\n");
        return 1;
    }
    try {
        const auto opened = store::openStore(QString::fromLocal8Bit(argv[1]));
        walk(*opened->rootFolder());
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::printf("%ld items, %zu bytes of values read\n", g_items, g_bytes);
    return 0;
}
