#pragma once

// The walk both store fuzzers make: a store file of arbitrary bytes is opened with one reader and
// everything is read: the whole folder tree (folders, sub-items, messages), every property of every
// record set through every kind of read, bodies, recipients, attachment data at both ends,
// embedded messages. Anything but a clean StoreError for damaged data (a crash, a hang, a leak,
// undefined behaviour, memory out of bounds) is a finding.

#include "store/RecoveredItemsStore.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace fuzz {

inline constexpr int kMaxItems = 3000;
inline constexpr int kMaxDepth = 80;
inline constexpr std::size_t kMaxAttachmentRead = 1 << 20;

struct Budget
{
    int items = 0;
    bool spend() { return ++items <= kMaxItems; }
};

template <typename Read> inline void attempt(Read read)
{
    try {
        read();
    } catch (const store::StoreError&) {
        // Damaged data must end as this error and nothing worse.
    }
}

inline void readEverything(const store::Item& item, bool isMessage)
{
    int sets = 0;
    attempt([&] { sets = item.recordSetCount(); });
    for (int set = 0; set < std::min(sets, 500); ++set) {
        attempt([&] {
            for (const store::PropertyKey& key : item.properties(set)) {
                attempt([&] { (void)item.valueType(key.id, set); });
                attempt([&] { (void)item.binary(key.id, set); });
                attempt([&] { (void)item.utf8StringSize(key.id, set); });
                attempt([&] { (void)item.utf8String(key.id, set); });
                attempt([&] { (void)item.fileTime(key.id, set); });
                attempt([&] { (void)item.integer32(key.id, set); });
                attempt([&] { (void)item.integer16(key.id, set); });
                attempt([&] { (void)item.boolean(key.id, set); });
                if (isMessage && set == 0) {
                    attempt([&] { (void)item.messageUtf8StringSize(key.id); });
                    attempt([&] { (void)item.messageUtf8String(key.id); });
                }
            }
        });
    }
    // Reads of what is not there, and of record sets that do not exist.
    attempt([&] { (void)item.utf8String(0x7FFF, 0); });
    attempt([&] { (void)item.binary(0x0037, sets); });
}

inline void walkMessage(const store::Item& message, Budget& budget, int depth);

inline void walkAttachment(const store::Item& attachment, Budget& budget, int depth)
{
    readEverything(attachment, false);
    attempt([&] {
        const store::AttachmentType type = attachment.attachmentType();
        const std::uint64_t size = attachment.attachmentDataSize();
        (void)attachment.readAttachmentData(
            0, static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxAttachmentRead)));
        if (size > 16)
            (void)attachment.readAttachmentData(size - 16, 64);
        (void)attachment.readAttachmentData(size + 1, 16);
        if (type == store::AttachmentType::Item && depth < kMaxDepth) {
            if (const auto embedded = attachment.embeddedItem())
                walkMessage(*embedded, budget, depth + 1);
        }
    });
}

inline void walkMessage(const store::Item& message, Budget& budget, int depth)
{
    if (!budget.spend())
        return;
    attempt([&] { (void)message.type(); });
    readEverything(message, true);
    attempt([&] { (void)message.htmlBodySize(); });
    attempt([&] { (void)message.htmlBody(); });
    attempt([&] { (void)message.rtfBodySize(); });
    attempt([&] { (void)message.rtfBody(); });
    attempt([&] { (void)message.plainTextBodySize(); });
    attempt([&] { (void)message.plainTextBody(); });
    attempt([&] {
        if (const auto recipients = message.recipients())
            readEverything(*recipients, false);
    });
    attempt([&] {
        const int count = message.attachmentCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { walkAttachment(*message.attachment(index), budget, depth); });
        attempt([&] { (void)message.attachment(count); });
    });
}

inline void walkFolder(const store::Item& folder, Budget& budget, int depth)
{
    if (!budget.spend() || depth > kMaxDepth)
        return;
    readEverything(folder, false);
    attempt([&] { (void)folder.identifier(); });
    attempt([&] {
        const int count = folder.subItemCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { (void)folder.subItem(index)->type(); });
        attempt([&] { (void)folder.subItem(count); });
    });
    // What applies to messages and attachments only fails on a folder like any read.
    attempt([&] { (void)folder.htmlBody(); });
    attempt([&] { (void)folder.rtfBodySize(); });
    attempt([&] { (void)folder.plainTextBodySize(); });
    attempt([&] { (void)folder.recipients(); });
    attempt([&] { (void)folder.attachmentCount(); });
    attempt([&] { (void)folder.attachment(0); });
    attempt([&] { (void)folder.attachmentType(); });
    attempt([&] { (void)folder.readAttachmentData(0, 16); });
    attempt([&] { (void)folder.embeddedItem(); });
    attempt([&] {
        const int count = folder.subFolderCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { walkFolder(*folder.subFolder(index), budget, depth + 1); });
        attempt([&] { (void)folder.subFolder(count); });
    });
    attempt([&] {
        const int count = folder.subMessageCount();
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] { walkMessage(*folder.subMessage(index), budget, 0); });
        attempt([&] { (void)folder.subMessage(count); });
    });
}

// The names and subjects of the live tree, as far as a budget reaches: what the recovery pass must
// leave as it was.
inline void describeLive(const store::Item& folder, Budget& budget, int depth, std::string& out)
{
    if (!budget.spend() || depth > kMaxDepth)
        return;
    attempt([&] { out += folder.utf8String(0x3001, 0).value_or("-").toStdString() + '/'; });
    attempt([&] {
        const int count = folder.subMessageCount();
        out += std::to_string(count) + ':';
        for (int index = 0; index < count && budget.spend(); ++index)
            attempt([&] {
                out += folder.subMessage(index)->utf8String(0x0037, 0).value_or("-").toStdString() + ';';
            });
    });
    attempt([&] {
        const int count = folder.subFolderCount();
        for (int index = 0; index < count; ++index)
            attempt([&] { describeLive(*folder.subFolder(index), budget, depth + 1, out); });
    });
}

inline std::string liveTree(const store::Store& opened)
{
    std::string out;
    Budget budget;
    attempt([&] { describeLive(*opened.rootFolder(), budget, 0, out); });
    return out;
}

// The recovery pass over the same bytes: every recovered item walked like a live one through the
// "Recovered Items" folder, and the live tree read the same before and after.
inline void walkRecovered(std::unique_ptr<store::Store> opened)
{
    const std::string before = liveTree(*opened);
    std::uint64_t last = 0;
    const store::RecoveredItemsStore withRecovered(std::move(opened),
                                                   [&](std::uint64_t done, std::uint64_t total) {
                                                       if (done < last || done > total)
                                                           __builtin_trap();
                                                       last = done;
                                                   });
    for (const store::RecoveredItem& item : withRecovered.recovered())
        attempt([&] { (void)withRecovered.recoveredItem(item); });
    Budget budget;
    walkFolder(*withRecovered.rootFolder(), budget, 0);
    // The wrapper adds its folder after the live ones, so the live tree's text comes first.
    if (liveTree(withRecovered).compare(0, before.size(), before) != 0)
        __builtin_trap();
}

inline int fuzzStore(const std::uint8_t* data, std::size_t size, store::ReaderKind reader)
{
    static const std::string path = "/dev/shm/ost2eml-fuzz-" + std::to_string(getpid()) + ".ost";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    try {
        store::OpenOptions options;
        options.reader = reader;
        auto opened = store::openStore(QString::fromStdString(path), options);
        (void)opened->contentType();
        (void)opened->encryptionType();
        (void)opened->formatType();
        (void)opened->codePage();
        (void)opened->damage();
        Budget budget;
        walkFolder(*opened->rootFolder(), budget, 0);
        if (reader == store::ReaderKind::Native)
            walkRecovered(std::move(opened));
    } catch (const store::StoreError&) {
    }
    return 0;
}

} // namespace fuzz
