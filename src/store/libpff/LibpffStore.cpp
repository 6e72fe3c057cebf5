#include "LibpffStore.h"

#include "store/StoreError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <libpff.h>
#include <limits>

namespace store {

namespace {

constexpr int kAsciiCodePage = 1252;

// Owns one libpff error and turns it into the message text that StoreError carries.
class ErrorSlot
{
public:
    ErrorSlot() = default;
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;
    ~ErrorSlot()
    {
        if (m_error)
            libpff_error_free(&m_error);
    }
    libpff_error_t** out() { return &m_error; }

    std::string text(const char* operation)
    {
        std::string result = operation;
        if (m_error) {
            std::array<char, 1024> buffer{};
            if (libpff_error_backtrace_sprint(m_error, buffer.data(), buffer.size()) > 0) {
                result += ": ";
                result += buffer.data();
            }
            libpff_error_free(&m_error);
        }
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
            result.pop_back();
        return result;
    }

    [[noreturn]] void raise(const char* operation) { throw StoreError(text(operation)); }

private:
    libpff_error_t* m_error = nullptr;
};

} // namespace

struct LibpffFile
{
    libpff_file_t* handle = nullptr;
    bool open = false;

    LibpffFile() = default;
    LibpffFile(const LibpffFile&) = delete;
    LibpffFile& operator=(const LibpffFile&) = delete;
    ~LibpffFile()
    {
        // Closing or freeing can only fail on a store that is already broken; there is nothing
        // left to do about it at this point.
        if (open) {
            ErrorSlot error;
            libpff_file_close(handle, error.out());
        }
        if (handle) {
            ErrorSlot error;
            libpff_file_free(&handle, error.out());
        }
    }
};

namespace {

// One libpff item; holds the file so that it outlives every item taken from it.
class LibpffItem final : public Item
{
public:
    LibpffItem(std::shared_ptr<LibpffFile> file, libpff_item_t* item) : m_file(std::move(file)), m_item(item)
    {
    }
    ~LibpffItem() override
    {
        ErrorSlot error;
        libpff_item_free(&m_item, error.out());
    }

    ItemType type() const override
    {
        ErrorSlot error;
        uint8_t value = 0;
        if (libpff_item_get_type(m_item, &value, error.out()) != 1)
            error.raise("cannot read the item type");
        return static_cast<ItemType>(value);
    }

    std::uint32_t identifier() const override
    {
        ErrorSlot error;
        uint32_t value = 0;
        if (libpff_item_get_identifier(m_item, &value, error.out()) != 1)
            error.raise("cannot read the item identifier");
        return value;
    }

    int subItemCount() const override
    {
        return count(libpff_item_get_number_of_sub_items, "cannot count the sub-items");
    }
    std::unique_ptr<Item> subItem(int index) const override
    {
        return child(libpff_item_get_sub_item, index, "cannot read a sub-item");
    }

    int recordSetCount() const override
    {
        return count(libpff_item_get_number_of_record_sets, "cannot count the record sets");
    }

    std::vector<PropertyKey> properties(int recordSet) const override
    {
        std::vector<PropertyKey> keys;
        forEachEntry(recordSet, [&](libpff_record_entry_t* entry, ErrorSlot& error) {
            PropertyKey key;
            bool read = libpff_record_entry_get_entry_type(entry, &key.id, error.out()) == 1 &&
                        libpff_record_entry_get_value_type(entry, &key.type, error.out()) == 1;
            if (!read)
                error.raise("cannot read a property type");
            // A named property is found by its numeric name where the store maps it to one. The
            // map entry belongs to the library.
            libpff_name_to_id_map_entry_t* name = nullptr;
            if (libpff_record_entry_get_name_to_id_map_entry(entry, &name, error.out()) == 1 && name) {
                uint8_t nameType = 0;
                uint32_t number = 0;
                if (libpff_name_to_id_map_entry_get_type(name, &nameType, error.out()) == 1 &&
                    nameType == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC &&
                    libpff_name_to_id_map_entry_get_number(name, &number, error.out()) == 1)
                    key.id = number;
            }
            keys.push_back(key);
            return false;
        });
        return keys;
    }

    std::optional<StoredValue> namedValue(const PropertyName& wanted, int recordSet) const override
    {
        const QByteArray wantedName = wanted.name.toUtf8();
        // The GUID as stored: its first three fields little-endian.
        QByteArray wantedSet = wanted.propertySet.toRfc4122();
        std::reverse(wantedSet.begin(), wantedSet.begin() + 4);
        std::reverse(wantedSet.begin() + 4, wantedSet.begin() + 6);
        std::reverse(wantedSet.begin() + 6, wantedSet.begin() + 8);
        std::optional<StoredValue> found;
        forEachEntry(recordSet, [&](libpff_record_entry_t* entry, ErrorSlot& error) {
            libpff_name_to_id_map_entry_t* name = nullptr;
            uint8_t nameType = 0;
            if (libpff_record_entry_get_name_to_id_map_entry(entry, &name, error.out()) != 1 || !name ||
                libpff_name_to_id_map_entry_get_type(name, &nameType, error.out()) != 1 ||
                nameType != LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_STRING)
                return false;
            size_t size = 0;
            if (libpff_name_to_id_map_entry_get_utf8_string_size(name, &size, error.out()) != 1 ||
                size != static_cast<size_t>(wantedName.size()) + 1)
                return false;
            QByteArray text(static_cast<qsizetype>(size), '\0');
            uint8_t guid[16] = {};
            if (libpff_name_to_id_map_entry_get_utf8_string(name, reinterpret_cast<uint8_t*>(text.data()),
                                                            size, error.out()) != 1 ||
                libpff_name_to_id_map_entry_get_guid(name, guid, sizeof guid, error.out()) != 1 ||
                cutAtTerminator(std::move(text)) != wantedName ||
                QByteArray(reinterpret_cast<const char*>(guid), sizeof guid) != wantedSet)
                return false;
            StoredValue value;
            if (libpff_record_entry_get_value_type(entry, &value.type, error.out()) != 1)
                error.raise("cannot read a property type");
            value.bytes = data(entry, error);
            found = std::move(value);
            return true;
        });
        return found;
    }

    std::optional<std::uint32_t> valueType(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            uint32_t value = 0;
            if (libpff_record_entry_get_value_type(entry, &value, error.out()) != 1)
                error.raise("cannot read a property type");
            return value;
        });
    }

    std::optional<std::size_t> utf8StringSize(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            size_t size = 0;
            if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, error.out()) != 1)
                error.raise("cannot read the size of a text property");
            return static_cast<std::size_t>(size);
        });
    }

    std::optional<QByteArray> utf8String(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            size_t size = 0;
            if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, error.out()) != 1)
                error.raise("cannot read the size of a text property");
            if (size == 0)
                return QByteArray();
            QByteArray text = allocate(size);
            if (libpff_record_entry_get_data_as_utf8_string(entry, reinterpret_cast<uint8_t*>(text.data()),
                                                            size, error.out()) != 1)
                error.raise("cannot read a text property");
            return cutAtTerminator(std::move(text));
        });
    }

    std::optional<std::uint64_t> fileTime(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            uint64_t value = 0;
            if (libpff_record_entry_get_data_as_filetime(entry, &value, error.out()) != 1)
                error.raise("cannot read a date property");
            return static_cast<std::uint64_t>(value);
        });
    }

    std::optional<std::uint32_t> integer32(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            uint32_t value = 0;
            if (libpff_record_entry_get_data_as_32bit_integer(entry, &value, error.out()) != 1)
                error.raise("cannot read a 32-bit property");
            return static_cast<std::uint32_t>(value);
        });
    }

    std::optional<std::uint16_t> integer16(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            uint16_t value = 0;
            if (libpff_record_entry_get_data_as_16bit_integer(entry, &value, error.out()) != 1)
                error.raise("cannot read a 16-bit property");
            return static_cast<std::uint16_t>(value);
        });
    }

    std::optional<bool> boolean(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, [](libpff_record_entry_t* entry, ErrorSlot& error) {
            uint8_t value = 0;
            if (libpff_record_entry_get_data_as_boolean(entry, &value, error.out()) != 1)
                error.raise("cannot read a boolean property");
            return value != 0;
        });
    }

    std::optional<QByteArray> binary(std::uint32_t tag, int recordSet) const override
    {
        return withEntry(tag, recordSet, data);
    }

    std::optional<std::size_t> messageUtf8StringSize(std::uint32_t tag) const override
    {
        ErrorSlot error;
        size_t size = 0;
        const int result =
            libpff_message_get_entry_value_utf8_string_size(m_item, propertyId(tag), &size, error.out());
        if (result == -1)
            error.raise("cannot read the size of a text property");
        if (result == 0)
            return std::nullopt;
        return size;
    }

    std::optional<QByteArray> messageUtf8String(std::uint32_t tag) const override
    {
        const std::optional<std::size_t> size = messageUtf8StringSize(tag);
        if (!size)
            return std::nullopt;
        if (*size == 0)
            return QByteArray();
        ErrorSlot error;
        QByteArray text = allocate(*size);
        const int result = libpff_message_get_entry_value_utf8_string(
            m_item, propertyId(tag), reinterpret_cast<uint8_t*>(text.data()), *size, error.out());
        if (result == -1)
            error.raise("cannot read a text property");
        if (result == 0)
            return std::nullopt;
        return cutAtTerminator(std::move(text));
    }

    int subFolderCount() const override
    {
        return count(libpff_folder_get_number_of_sub_folders, "cannot count the sub-folders");
    }
    std::unique_ptr<Item> subFolder(int index) const override
    {
        return child(libpff_folder_get_sub_folder, index, "cannot read a sub-folder");
    }
    int subMessageCount() const override
    {
        return count(libpff_folder_get_number_of_sub_messages, "cannot count the messages");
    }
    std::unique_ptr<Item> subMessage(int index) const override
    {
        return child(libpff_folder_get_sub_message, index, "cannot read a message");
    }

    std::optional<std::size_t> htmlBodySize() const override
    {
        return bodySize(libpff_message_get_html_body_size, "cannot read the size of the HTML body");
    }
    std::optional<QByteArray> htmlBody() const override
    {
        return body(libpff_message_get_html_body_size, libpff_message_get_html_body,
                    "cannot read the HTML body");
    }
    std::optional<std::size_t> rtfBodySize() const override
    {
        return bodySize(libpff_message_get_rtf_body_size, "cannot read the size of the RTF body");
    }
    std::optional<QByteArray> rtfBody() const override
    {
        return body(libpff_message_get_rtf_body_size, libpff_message_get_rtf_body,
                    "cannot read the RTF body");
    }
    std::optional<std::size_t> plainTextBodySize() const override
    {
        return bodySize(libpff_message_get_plain_text_body_size,
                        "cannot read the size of the plain-text body");
    }
    std::optional<QByteArray> plainTextBody() const override
    {
        return body(libpff_message_get_plain_text_body_size, libpff_message_get_plain_text_body,
                    "cannot read the plain-text body");
    }

    std::unique_ptr<Item> recipients() const override
    {
        ErrorSlot error;
        libpff_item_t* sub = nullptr;
        const int result = libpff_message_get_recipients(m_item, &sub, error.out());
        if (result == -1)
            error.raise("cannot read the recipients");
        if (result == 0 || sub == nullptr)
            return nullptr;
        return std::make_unique<LibpffItem>(m_file, sub);
    }

    int attachmentCount() const override
    {
        return count(libpff_message_get_number_of_attachments, "cannot count the attachments");
    }
    std::unique_ptr<Item> attachment(int index) const override
    {
        return child(libpff_message_get_attachment, index, "cannot read an attachment");
    }

    AttachmentType attachmentType() const override
    {
        ErrorSlot error;
        int value = 0;
        if (libpff_attachment_get_type(m_item, &value, error.out()) != 1)
            error.raise("cannot read the attachment type");
        switch (value) {
        case LIBPFF_ATTACHMENT_TYPE_DATA:
            return AttachmentType::Data;
        case LIBPFF_ATTACHMENT_TYPE_ITEM:
            return AttachmentType::Item;
        case LIBPFF_ATTACHMENT_TYPE_REFERENCE:
            return AttachmentType::Reference;
        default:
            return AttachmentType::Undefined;
        }
    }

    std::uint64_t attachmentDataSize() const override
    {
        ErrorSlot error;
        size64_t size = 0;
        const int result = libpff_attachment_get_data_size(m_item, &size, error.out());
        if (result == -1)
            error.raise("cannot read the size of the attachment data");
        return result == 1 ? size : 0;
    }

    QByteArray readAttachmentData(std::uint64_t offset, std::size_t maxSize) const override
    {
        if (offset > static_cast<std::uint64_t>(std::numeric_limits<off64_t>::max()))
            throw StoreError("attachment offset out of range");
        ErrorSlot error;
        if (libpff_attachment_data_seek_offset(m_item, static_cast<off64_t>(offset), SEEK_SET, error.out()) ==
            -1)
            error.raise("cannot seek in the attachment data");
        QByteArray data = allocate(maxSize);
        std::size_t filled = 0;
        while (filled < maxSize) {
            const ssize_t read = libpff_attachment_data_read_buffer(
                m_item, reinterpret_cast<uint8_t*>(data.data()) + filled, maxSize - filled, error.out());
            if (read < 0)
                error.raise("cannot read the attachment data");
            if (read == 0)
                break;
            filled += static_cast<std::size_t>(read);
        }
        data.truncate(static_cast<qsizetype>(filled));
        return data;
    }

    std::unique_ptr<Item> embeddedItem() const override
    {
        ErrorSlot error;
        libpff_item_t* sub = nullptr;
        const int result = libpff_attachment_get_item(m_item, &sub, error.out());
        if (result == -1)
            error.raise("cannot read the attached item");
        if (result == 0 || sub == nullptr)
            return nullptr;
        return std::make_unique<LibpffItem>(m_file, sub);
    }

private:
    static uint32_t propertyId(std::uint32_t tag) { return tag > 0xFFFF ? tag >> 16 : tag; }

    // A property's value as stored.
    static QByteArray data(libpff_record_entry_t* entry, ErrorSlot& error)
    {
        size_t size = 0;
        if (libpff_record_entry_get_data_size(entry, &size, error.out()) != 1)
            error.raise("cannot read the size of a property");
        if (size == 0)
            return QByteArray();
        QByteArray bytes = allocate(size);
        if (libpff_record_entry_get_data(entry, reinterpret_cast<uint8_t*>(bytes.data()), size,
                                         error.out()) != 1)
            error.raise("cannot read a property");
        return bytes;
    }

    static QByteArray allocate(std::size_t size)
    {
        if (size > static_cast<std::size_t>(std::numeric_limits<qsizetype>::max() / 2))
            throw StoreError("value too large");
        return QByteArray(static_cast<qsizetype>(size), Qt::Uninitialized);
    }

    // The library's strings carry their terminator; some stored values carry more zeros.
    static QByteArray cutAtTerminator(QByteArray text)
    {
        const qsizetype zero = text.indexOf('\0');
        if (zero >= 0)
            text.truncate(zero);
        return text;
    }

    template <typename Read>
    auto withEntry(std::uint32_t tag, int recordSet, Read read) const
        -> std::optional<decltype(read(nullptr, std::declval<ErrorSlot&>()))>
    {
        ErrorSlot error;
        libpff_record_set_t* set = nullptr;
        if (libpff_item_get_record_set_by_index(m_item, recordSet, &set, error.out()) != 1)
            error.raise("cannot read a record set");
        libpff_record_entry_t* entry = nullptr;
        const int found = libpff_record_set_get_entry_by_type(
            set, propertyId(tag), 0, &entry, LIBPFF_ENTRY_VALUE_FLAG_MATCH_ANY_VALUE_TYPE, error.out());
        struct Release
        {
            libpff_record_set_t*& set;
            libpff_record_entry_t*& entry;
            ~Release()
            {
                ErrorSlot ignored;
                if (entry)
                    libpff_record_entry_free(&entry, ignored.out());
                if (set)
                    libpff_record_set_free(&set, ignored.out());
            }
        } release{set, entry};
        if (found == -1)
            error.raise("cannot read a property");
        if (found == 0 || entry == nullptr)
            return std::nullopt;
        return read(entry, error);
    }

    // Calls visit(entry, error) for every property of a record set until it returns true.
    template <typename Visit> void forEachEntry(int recordSet, Visit visit) const
    {
        ErrorSlot error;
        libpff_record_set_t* set = nullptr;
        if (libpff_item_get_record_set_by_index(m_item, recordSet, &set, error.out()) != 1)
            error.raise("cannot read a record set");
        struct Release
        {
            libpff_record_set_t*& set;
            ~Release()
            {
                ErrorSlot ignored;
                libpff_record_set_free(&set, ignored.out());
            }
        } release{set};
        int count = 0;
        if (libpff_record_set_get_number_of_entries(set, &count, error.out()) != 1)
            error.raise("cannot count the properties");
        for (int index = 0; index < count; ++index) {
            libpff_record_entry_t* entry = nullptr;
            if (libpff_record_set_get_entry_by_index(set, index, &entry, error.out()) != 1)
                error.raise("cannot read a property");
            struct ReleaseEntry
            {
                libpff_record_entry_t*& entry;
                ~ReleaseEntry()
                {
                    ErrorSlot ignored;
                    libpff_record_entry_free(&entry, ignored.out());
                }
            } releaseEntry{entry};
            ErrorSlot entryError;
            if (visit(entry, entryError))
                return;
        }
    }

    template <typename Count> int count(Count function, const char* what) const
    {
        ErrorSlot error;
        int value = 0;
        if (function(m_item, &value, error.out()) != 1)
            error.raise(what);
        if (value < 0)
            throw StoreError(what);
        return value;
    }

    template <typename Get> std::unique_ptr<Item> child(Get function, int index, const char* what) const
    {
        ErrorSlot error;
        libpff_item_t* sub = nullptr;
        if (function(m_item, index, &sub, error.out()) != 1 || sub == nullptr)
            error.raise(what);
        return std::make_unique<LibpffItem>(m_file, sub);
    }

    template <typename Size> std::optional<std::size_t> bodySize(Size function, const char* what) const
    {
        ErrorSlot error;
        size_t size = 0;
        const int result = function(m_item, &size, error.out());
        if (result == -1)
            error.raise(what);
        if (result == 0)
            return std::nullopt;
        return size;
    }

    template <typename Size, typename Get>
    std::optional<QByteArray> body(Size sizeFunction, Get getFunction, const char* what) const
    {
        const std::optional<std::size_t> size = bodySize(sizeFunction, what);
        if (!size)
            return std::nullopt;
        if (*size == 0)
            return QByteArray();
        ErrorSlot error;
        QByteArray data = allocate(*size);
        const int result = getFunction(m_item, reinterpret_cast<uint8_t*>(data.data()), *size, error.out());
        if (result == -1)
            error.raise(what);
        if (result == 0)
            return std::nullopt;
        return data;
    }

    std::shared_ptr<LibpffFile> m_file;
    libpff_item_t* m_item;
};

} // namespace

CodePageChoice LibpffStore::codePageChoice() const
{
    return CodePageChoice{m_codePage,
                          m_codePageGiven ? CodePageChoice::Origin::Given : CodePageChoice::Origin::Default};
}

LibpffStore::LibpffStore(const QString& path, int codePage)
    : m_file(std::make_shared<LibpffFile>()), m_codePage(codePage > 0 ? codePage : kAsciiCodePage),
      m_codePageGiven(codePage > 0)
{
    ErrorSlot error;
    if (libpff_file_initialize(&m_file->handle, error.out()) != 1)
        throw OpenError(OpenError::Reason::Unreadable, error.text("cannot create a store handle"));
    if (libpff_file_set_ascii_codepage(m_file->handle, m_codePage, error.out()) != 1)
        throw OpenError(OpenError::Reason::Unreadable, error.text("cannot set the store's code page"));
    const QByteArray name = QFile::encodeName(path);
    if (libpff_file_open(m_file->handle, name.constData(), LIBPFF_OPEN_READ, error.out()) != 1)
        throw OpenError(OpenError::Reason::Unreadable, error.text("cannot open the store"));
    m_file->open = true;
}

LibpffStore::~LibpffStore() = default;

ContentType LibpffStore::contentType() const
{
    ErrorSlot error;
    uint8_t value = 0;
    const int result = libpff_file_get_content_type(m_file->handle, &value, error.out());
    if (result == -1)
        error.raise("cannot read the content type");
    switch (value) {
    case LIBPFF_FILE_CONTENT_TYPE_OST:
        return ContentType::Offline;
    case LIBPFF_FILE_CONTENT_TYPE_PST:
        return ContentType::Personal;
    case LIBPFF_FILE_CONTENT_TYPE_PAB:
        return ContentType::PersonalAddressBook;
    default:
        return ContentType::Unknown;
    }
}

EncryptionType LibpffStore::encryptionType() const
{
    ErrorSlot error;
    uint8_t value = 0;
    if (libpff_file_get_encryption_type(m_file->handle, &value, error.out()) == -1)
        error.raise("cannot read the encryption type");
    return static_cast<EncryptionType>(value);
}

int LibpffStore::formatType() const
{
    ErrorSlot error;
    uint8_t value = 0;
    if (libpff_file_get_type(m_file->handle, &value, error.out()) == -1)
        error.raise("cannot read the file type");
    return value;
}

std::uint64_t LibpffStore::fileSize() const
{
    ErrorSlot error;
    size64_t value = 0;
    if (libpff_file_get_size(m_file->handle, &value, error.out()) == -1)
        error.raise("cannot read the file size");
    return value;
}

std::unique_ptr<Item> LibpffStore::rootFolder() const
{
    ErrorSlot error;
    libpff_item_t* root = nullptr;
    const int result = libpff_file_get_root_folder(m_file->handle, &root, error.out());
    if (result == -1)
        error.raise("cannot read the root folder");
    if (result == 0 || root == nullptr)
        throw StoreError("the store has no root folder");
    return std::make_unique<LibpffItem>(m_file, root);
}

std::unique_ptr<Item> LibpffStore::messageStore() const
{
    ErrorSlot error;
    libpff_item_t* item = nullptr;
    if (libpff_file_get_message_store(m_file->handle, &item, error.out()) != 1 || item == nullptr)
        return nullptr;
    return std::make_unique<LibpffItem>(m_file, item);
}

std::unique_ptr<Item> LibpffStore::message(std::uint32_t identifier) const
{
    // Node ids of normal messages end in type 4.
    if ((identifier & 0x1F) != 0x04)
        return nullptr;
    ErrorSlot error;
    libpff_item_t* item = nullptr;
    const int result = libpff_file_get_item_by_identifier(m_file->handle, identifier, &item, error.out());
    if (result == -1)
        error.raise("cannot read a message by its identifier");
    if (result == 0 || item == nullptr)
        return nullptr;
    return std::make_unique<LibpffItem>(m_file, item);
}

std::vector<RecoveredItem> LibpffStore::recoverItems(const RecoveryProgress& progress) const
{
    ErrorSlot error;
    if (libpff_file_recover_items(m_file->handle, 0, error.out()) != 1)
        error.raise("cannot recover items");
    int count = 0;
    if (libpff_file_get_number_of_recovered_items(m_file->handle, &count, error.out()) != 1)
        error.raise("cannot count the recovered items");
    std::vector<RecoveredItem> items;
    for (int i = 0; i < count; ++i) {
        RecoveredItem found;
        found.index = static_cast<std::size_t>(i);
        found.found = QStringLiteral("libpff's recovery");
        try {
            const std::unique_ptr<Item> item = recoveredItem(found);
            if (!item)
                continue;
            found.identifier = item->identifier();
            const auto text = [&](std::uint32_t tag) {
                const std::optional<QByteArray> value = item->utf8String(tag, 0);
                return value ? QString::fromUtf8(*value).remove(QChar(0)) : QString();
            };
            found.messageClass = text(0x001A);
            found.subject = text(0x0037);
        } catch (const StoreError&) {
            continue;
        }
        items.push_back(std::move(found));
    }
    if (progress)
        progress(fileSize(), fileSize());
    return items;
}

std::unique_ptr<Item> LibpffStore::recoveredItem(const RecoveredItem& item) const
{
    ErrorSlot error;
    libpff_item_t* recovered = nullptr;
    if (libpff_file_get_recovered_item_by_index(m_file->handle, static_cast<int>(item.index), &recovered,
                                                error.out()) != 1 ||
        recovered == nullptr)
        return nullptr;
    return std::make_unique<LibpffItem>(m_file, recovered);
}

void LibpffStore::signalAbort()
{
    ErrorSlot error;
    libpff_file_signal_abort(m_file->handle, error.out());
}

} // namespace store
