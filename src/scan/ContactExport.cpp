#include "ContactExport.h"

#include "ExportHandle.h"
#include "ExportWalk.h"
#include "PropertyReads.h"
#include "catalog/Catalogs.h"
#include "catalog/ContactRecord.h"
#include "catalog/SanitizeDisplayText.h"
#include "store/Item.h"
#include "store/StoreError.h"
#include "views/FolderTreeModel.h"

#include <array>

namespace scan {

namespace {

constexpr int PlainTextBodySlot = 66;
constexpr int ItemPathSlot = 67;

// Slot number -> MAPI property; 0 where the slot gets no value from the item.
constexpr std::array<std::uint32_t, 68> SlotProperties = [] {
    std::array<std::uint32_t, 68> p{};
    p[1] = 0x3A16;  // company name
    p[2] = 0x3A05;  // generation suffix
    p[3] = 0x8005;  // file-under (named property)
    p[5] = 0x3A17;  // job title
    p[7] = 0x3A4A;  // customer id
    p[8] = 0x3A1C;  // mobile phone
    p[9] = 0x3A43;  // hobbies
    p[10] = 0x3A5D; // home street
    p[12] = 0x3A11; // surname
    p[13] = 0x3A06; // given name
    p[14] = 0x3A44; // middle name
    p[15] = 0x3A09; // home phone
    p[16] = 0x3A08; // business phone
    p[17] = 0x3A24; // business fax
    p[18] = 0x3A25; // home fax
    p[19] = 0x002F; // languages
    p[20] = 0x3A19; // office location
    p[21] = 0x3A21; // pager
    p[22] = 0x3A2D; // ISDN
    p[23] = 0x3A2E; // assistant phone
    p[24] = 0x3A30; // assistant
    p[25] = 0x3A46; // profession
    p[26] = 0x3A48; // spouse name
    p[27] = 0x3A57; // company main phone
    p[28] = 0x3A59; // home city
    p[31] = 0x3A4E; // manager name
    p[32] = 0x3A4F; // nickname
    p[33] = 0x3A50; // personal home page
    p[34] = 0x3A51; // business home page
    p[35] = 0x3A5A; // home country
    p[36] = 0x3A5B; // home postal code
    p[37] = 0x3A5C; // home state
    p[38] = 0x3A5D; // home street, again
    p[39] = 0x3A5F; // other city
    p[40] = 0x3A60; // other country
    p[41] = 0x3A62; // other state
    p[42] = 0x3A63; // other street
    p[43] = 0x3A1F; // other phone
    p[45] = 0x3A61; // other postal code
    p[46] = 0x3A02; // callback phone
    p[53] = 0x3A1E; // car phone
    p[54] = 0x3A18; // department
    p[55] = 0x3A00; // account
    p[56] = 0x3A2F; // second home phone
    p[58] = 0x3A2C; // telex
    p[59] = 0x3A1D; // radio phone
    p[61] = 0x3A4B; // TTY/TDD phone
    p[62] = 0x3A07; // government id
    p[63] = 0x3A10; // organisational id
    p[65] = 0x3A13; // original display name
    return p;
}();

} // namespace

std::optional<std::uint32_t> contactSlotProperty(int slot)
{
    if (slot < 1 || slot >= static_cast<int>(SlotProperties.size()) || SlotProperties[slot] == 0)
        return std::nullopt;
    return SlotProperties[static_cast<std::size_t>(slot)];
}

int export_handle_export_contact(ExportHandle* handle, const store::Item& contact, int /*itemIndex*/,
                                 const QString& exportPath, char /*bodyFormat*/, LogHandle* /*log*/,
                                 int kindCode, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid export handle");
        return -1;
    }
    const QString directoryName = lastPathComponent(exportPath);
    const QString itemPath = catalog::SanitizeDisplayText(pathBelowExportRoot(exportPath));

    catalog::ContactRecord::SlotValues values;
    for (int slot = 1; slot <= catalog::ContactRecord::SlotCount; ++slot) {
        if (const std::optional<std::uint32_t> tag = contactSlotProperty(slot))
            values[static_cast<std::size_t>(slot - 1)] = PropertyReads::messageText(contact, *tag);
    }
    try {
        const std::optional<QByteArray> body = contact.plainTextBody();
        if (body)
            values[PlainTextBodySlot - 1] = PropertyReads::fromUtf8(*body);
    } catch (const store::StoreError&) {
        // A body that cannot be read leaves its slot empty, like any other value.
    }
    if (!itemPath.isEmpty())
        values[ItemPathSlot - 1] = itemPath;

    // Reads give up once the scan is aborted; a record made of them would be hollow.
    if (handle->aborted())
        return -1;
    const int serial = handle->nextSerial();

    FolderFrame& frame = handle->currentFolder();
    // The label counts the contacts exported into this folder in this scan. An embedded item is
    // attached to the folder of the item that holds it but is not one of the folder's own.
    std::optional<int> count;
    if (handle->isOwnItemOfCurrentFolder())
        count = ++frame.contacts;
    handle->markCurrentFolder(count);
    // The contact's e-mail addresses are for a search only: the record has no slot for them.
    QStringList addresses;
    if (handle->catalogs && handle->catalogs->searchIndex()) {
        for (const std::uint32_t tag : {0x8083u, 0x8093u, 0x80A3u, 0x8080u, 0x8090u, 0x80A0u})
            if (const std::optional<QString> address = PropertyReads::messageText(contact, tag))
                addresses << *address;
    }
    if (handle->catalogs)
        handle->catalogs->AppendContactRecord(directoryName, frame.node, kindCode, values, serial, addresses);
    return 1;
}

} // namespace scan
