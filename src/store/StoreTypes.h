#pragma once

#include <cstdint>

namespace store {

// Item kinds as libpff classifies them (its numbering, which the exports dispatch on).
enum class ItemType : int
{
    Undefined = 0,
    Activity = 1,
    Appointment = 2,
    Attachment = 3,
    Attachments = 4,
    Common = 5,
    Configuration = 6,
    ConflictMessage = 7,
    Contact = 8,
    DistributionList = 9,
    Document = 10,
    Email = 11,
    EmailSmime = 12,
    Fax = 13,
    Folder = 14,
    Meeting = 15,
    Mms = 16,
    Note = 17,
    PostingNote = 18,
    Recipients = 19,
    RssFeed = 20,
    Sharing = 21,
    Sms = 22,
    SubAssociatedContents = 23,
    SubFolders = 24,
    SubMessages = 25,
    Task = 26,
    TaskRequest = 27,
    Voicemail = 28,
    Unknown = 29,
};

// A short English name for an item kind ("email", "folder", ...), stable for scripts.
const char* itemTypeName(ItemType type);

enum class ContentType : char
{
    Unknown = 0,
    PersonalAddressBook = 'a',
    Personal = 'p',
    Offline = 'o',
};

enum class EncryptionType : int
{
    None = 0,
    Compressible = 1,
    High = 2,
};

enum class AttachmentType : int
{
    Undefined = 0,
    Data = 'd',
    Item = 'i',
    Reference = 'r',
};

// One property of a record set: its id and its MAPI value type.
struct PropertyKey
{
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    friend bool operator==(const PropertyKey&, const PropertyKey&) = default;
};

// MAPI property value types that the readers distinguish.
namespace valuetype {
inline constexpr std::uint32_t Integer16 = 0x0002;
inline constexpr std::uint32_t Integer32 = 0x0003;
inline constexpr std::uint32_t Object = 0x000D;
inline constexpr std::uint32_t Boolean = 0x000B;
inline constexpr std::uint32_t Integer64 = 0x0014;
inline constexpr std::uint32_t String8 = 0x001E;
inline constexpr std::uint32_t Unicode = 0x001F;
inline constexpr std::uint32_t FileTime = 0x0040;
inline constexpr std::uint32_t Binary = 0x0102;
} // namespace valuetype

} // namespace store
