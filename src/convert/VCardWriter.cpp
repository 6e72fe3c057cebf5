#include "VCardWriter.h"

#include "ContentLines.h"
#include "ItemFields.h"
#include "store/MapiTags.h"
#include "store/StoreError.h"
#include "store/StoreTypes.h"

#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <array>

namespace convert {

namespace mapi = store::mapi;

namespace {

// Contact properties ([MS-OXOCNTC]); the 0x8000 range are named properties by their LIDs.
constexpr std::uint32_t kSurname = 0x3A11;
constexpr std::uint32_t kGivenName = 0x3A06;
constexpr std::uint32_t kMiddleName = 0x3A44;
constexpr std::uint32_t kPrefix = 0x3A45;
constexpr std::uint32_t kGeneration = 0x3A05;
constexpr std::uint32_t kNickname = 0x3A4F;
constexpr std::uint32_t kFileUnder = 0x8005;
constexpr std::uint32_t kCompany = 0x3A16;
constexpr std::uint32_t kDepartment = 0x3A18;
constexpr std::uint32_t kJobTitle = 0x3A17;
constexpr std::uint32_t kProfession = 0x3A46;
constexpr std::uint32_t kManager = 0x3A4E;
constexpr std::uint32_t kAssistant = 0x3A30;
constexpr std::uint32_t kSpouse = 0x3A48;
constexpr std::uint32_t kPersonalHomePage = 0x3A50;
constexpr std::uint32_t kBusinessHomePage = 0x3A51;
constexpr std::uint32_t kBirthday = 0x3A42;
constexpr std::uint32_t kAnniversary = 0x3A41;
constexpr std::uint32_t kAttachContactPhoto = 0x7FFF;
constexpr std::uint32_t kOneOffMembers = 0x8054;
constexpr std::uint32_t kMembers = 0x8055;
constexpr int kMaxListDepth = 8;
constexpr std::uint32_t kDistributionListName = 0x8053;

struct EmailSlot
{
    std::uint32_t displayName, addressType, address;
};
constexpr std::array<EmailSlot, 3> kEmails{
    {{0x8080, 0x8082, 0x8083}, {0x8090, 0x8092, 0x8093}, {0x80A0, 0x80A2, 0x80A3}}};

struct PhoneSlot
{
    std::uint32_t tag;
    const char* types; // vCard 4.0 TYPE values; upper-cased for 3.0
};
constexpr std::array<PhoneSlot, 19> kPhones{{
    {0x3A1A, "pref,voice"},     // primary
    {0x3A08, "work,voice"},     // business
    {0x3A1B, "work,voice"},     // business 2
    {0x3A57, "work,x-company"}, // company main
    {0x3A09, "home,voice"},     // home
    {0x3A2F, "home,voice"},     // home 2
    {0x3A1C, "cell,voice"},     // mobile
    {0x3A24, "work,fax"},       // business fax
    {0x3A25, "home,fax"},       // home fax
    {0x3A23, "fax"},            // primary fax
    {0x3A21, "pager"},          // pager
    {0x3A1E, "car,voice"},      // car
    {0x3A1F, "voice"},          // other
    {0x3A2E, "x-assistant"},    // assistant
    {0x3A02, "x-callback"},     // callback
    {0x3A2D, "isdn"},           // ISDN
    {0x3A1D, "x-radio"},        // radio
    {0x3A2C, "x-telex"},        // telex
    {0x3A4B, "textphone"},      // TTY/TDD
}};

struct AddressSlot
{
    const char* type;
    std::uint32_t poBox, street, city, state, postalCode, country;
};
constexpr std::array<AddressSlot, 3> kAddresses{{
    {"work", 0x3A2B, 0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26},
    {"home", 0x3A5E, 0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A},
    {"x-other", 0x3A64, 0x3A63, 0x3A5F, 0x3A62, 0x3A61, 0x3A60},
}};
// The business address also as named properties, which some stores carry instead.
constexpr std::array<std::uint32_t, 6> kWorkAddressNamed{0x804A, 0x8045, 0x8046, 0x8047, 0x8048, 0x8049};

bool isSmtp(const QString& type, const QString& address)
{
    return type.isEmpty() ? address.contains(QLatin1Char('@'))
                          : type.compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0;
}

// A one-off entry id ([MS-OXCDATA] 2.2.5.1): flags, the one-off provider's UID, version, flags,
// then display name, address type and address, UTF-16 when the flags say so.
std::optional<std::pair<QString, QString>> oneOffMember(const QByteArray& entry)
{
    static const QByteArray kProvider = QByteArray::fromHex("812B1FA4BEA310199D6E00DD010F5402");
    if (entry.size() < 24 || entry.mid(4, 16) != kProvider)
        return std::nullopt;
    const bool unicode = static_cast<unsigned char>(entry[23]) & 0x80;
    QStringList parts;
    qsizetype at = 24;
    for (int part = 0; part < 3 && at < entry.size(); ++part) {
        if (unicode) {
            qsizetype end = at;
            while (end + 1 < entry.size() && (entry[end] != 0 || entry[end + 1] != 0))
                end += 2;
            parts << QString::fromUtf16(reinterpret_cast<const char16_t*>(entry.constData() + at),
                                        (end - at) / 2);
            at = end + 2;
        } else {
            const qsizetype end = entry.indexOf('\0', at);
            const qsizetype stop = end < 0 ? entry.size() : end;
            parts << QString::fromLatin1(entry.mid(at, stop - at));
            at = stop + 1;
        }
    }
    if (parts.size() < 3)
        return std::nullopt;
    return std::pair{parts[0], isSmtp(parts[1], parts[2]) ? parts[2] : QString()};
}

// A wrapped entry id ([MS-OXOCNTC] 2.2.2.2.4.1.1): flags, the wrapping provider's UID, a type
// byte (low nibble: 0 one-off, 3 contact, 4 distribution list; next three bits: which of the
// contact's addresses), then the entry id it wraps.
struct Wrapped
{
    int kind = 0;
    int addressIndex = 0;
    QByteArray entry;
};

std::optional<Wrapped> unwrapped(const QByteArray& entry)
{
    static const QByteArray kProvider = QByteArray::fromHex("C091ADD3519DCF11A4A900AA0047FAA4");
    if (entry.size() < 21 || entry.mid(4, 16) != kProvider)
        return std::nullopt;
    const auto type = static_cast<unsigned char>(entry[20]);
    return Wrapped{type & 0x0F, (type >> 4) & 0x07, entry.mid(21)};
}

// The message a store's own entry id names: flags, the store's UID, the message's node id.
std::optional<std::uint32_t> storedIdentifier(const QByteArray& entry)
{
    if (entry.size() != 24)
        return std::nullopt;
    return qFromLittleEndian<std::uint32_t>(entry.constData() + 20);
}

QString pictureType(const QString& mimeType, const QString& fileName)
{
    if (mimeType.startsWith(QLatin1String("image/"), Qt::CaseInsensitive))
        return mimeType.toLower();
    const QString lower = fileName.toLower();
    if (lower.endsWith(QLatin1String(".png")))
        return QStringLiteral("image/png");
    if (lower.endsWith(QLatin1String(".gif")))
        return QStringLiteral("image/gif");
    if (lower.endsWith(QLatin1String(".bmp")))
        return QStringLiteral("image/bmp");
    return QStringLiteral("image/jpeg");
}

constexpr std::uint64_t kMaxPhotoSize = 8 * 1024 * 1024;

} // namespace

std::optional<VCardWriter::Member> VCardWriter::storedMember(const QByteArray& entry, const ItemFields& list,
                                                             std::vector<Member>& nested,
                                                             std::vector<std::uint32_t>& visited) const
{
    const auto wrapped = unwrapped(entry);
    if (!wrapped)
        return std::nullopt;
    if (wrapped->kind == 0) {
        if (const auto member = oneOffMember(wrapped->entry))
            return Member{member->first, member->second};
        return std::nullopt;
    }
    const auto identifier = storedIdentifier(wrapped->entry);
    if (!m_store || !identifier || (wrapped->kind != 3 && wrapped->kind != 4))
        return std::nullopt;
    try {
        const std::unique_ptr<store::Item> item = m_store->message(*identifier);
        if (!item)
            return std::nullopt;
        const ItemFields fields(*item);
        if (wrapped->kind == 4) {
            if (item->type() != store::ItemType::DistributionList ||
                std::find(visited.begin(), visited.end(), *identifier) != visited.end() ||
                visited.size() >= kMaxListDepth)
                return std::nullopt;
            visited.push_back(*identifier);
            const std::vector<Member> inner = members(fields, visited);
            visited.pop_back();
            nested.insert(nested.end(), inner.begin(), inner.end());
            for (const QString& problem : fields.problems())
                list.addProblem(problem);
            return Member{{}, {}, true};
        }
        if (wrapped->addressIndex >= static_cast<int>(kEmails.size()))
            return std::nullopt; // a fax number: no Internet address
        const EmailSlot& slot = kEmails[static_cast<std::size_t>(wrapped->addressIndex)];
        const QString address = fields.text(slot.address);
        if (address.isEmpty() || !isSmtp(fields.text(slot.addressType), address))
            return std::nullopt;
        QString name = fields.text(slot.displayName);
        if (name.isEmpty())
            name = fields.text(mapi::PrDisplayName);
        return Member{name, address};
    } catch (const store::StoreError& error) {
        list.addProblem(QStringLiteral("a member cannot be read: ") + error.message());
        return std::nullopt;
    }
}

std::vector<VCardWriter::Member> VCardWriter::members(const ItemFields& fields,
                                                      std::vector<std::uint32_t>& visited) const
{
    // The members' entry ids, and beside them the same members as one-off entries: name and
    // address as they were when the member was added, kept for readers that cannot follow the
    // entry ids.
    const std::vector<QByteArray> entries = fields.binaries(kMembers);
    const std::vector<QByteArray> oneOffs = fields.binaries(kOneOffMembers);
    const bool parallel = entries.size() == oneOffs.size();
    std::vector<Member> result;
    const std::size_t count = entries.empty() ? oneOffs.size() : entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<Member> nested;
        std::optional<Member> member;
        if (!entries.empty())
            member = storedMember(entries[i], fields, nested, visited);
        if (member && member->isList) {
            result.insert(result.end(), nested.begin(), nested.end());
            continue;
        }
        if ((!member || member->address.isEmpty()) && (entries.empty() || parallel)) {
            if (const auto oneOff = oneOffMember(oneOffs[i]))
                member = Member{oneOff->first, oneOff->second};
        }
        if (!member || member->address.isEmpty()) {
            fields.addProblem(QStringLiteral("member %1%2 has no Internet address and is left out")
                                  .arg(i + 1)
                                  .arg(member && !member->name.isEmpty()
                                           ? QStringLiteral(" (") + member->name + QLatin1Char(')')
                                           : QString()));
            continue;
        }
        result.push_back(*member);
    }
    return result;
}

VCardWriter::Card VCardWriter::write(const store::Item& item) const
{
    const ItemFields fields(item);
    const bool v4 = m_version == 4;
    const auto types = [&](const char* list) {
        const QString value = QString::fromLatin1(list);
        return v4 ? value : value.toUpper();
    };
    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VCARD"));
    lines.add(QStringLiteral("VERSION"), v4 ? QStringLiteral("4.0") : QStringLiteral("3.0"));

    bool isGroup = false;
    try {
        isGroup = item.type() == store::ItemType::DistributionList;
    } catch (const store::StoreError&) {
    }
    const QString surname = fields.text(kSurname);
    const QString given = fields.text(kGivenName);
    const QString middle = fields.text(kMiddleName);
    const QString prefix = fields.text(kPrefix);
    const QString generation = fields.text(kGeneration);
    const QString fileAs = fields.text(kFileUnder);
    QString name = fields.text(mapi::PrDisplayName);
    if (name.isEmpty() && isGroup)
        name = fields.text(kDistributionListName);
    if (name.isEmpty())
        name = QStringList{prefix, given, middle, surname, generation}
                   .filter(QRegularExpression(QStringLiteral("\\S")))
                   .join(QLatin1Char(' '));
    if (name.isEmpty())
        name = fileAs;
    if (name.isEmpty())
        name = fields.subject();

    if (isGroup)
        lines.add(v4 ? QStringLiteral("KIND") : QStringLiteral("X-ADDRESSBOOKSERVER-KIND"),
                  QStringLiteral("group"));
    lines.add(QStringLiteral("FN"), ContentLines::escaped(name));
    if (!isGroup || v4 == false)
        lines.add(QStringLiteral("N"),
                  ContentLines::structured({surname, given, middle, prefix, generation}));
    lines.addText(QStringLiteral("X-FILE-AS"), fileAs);
    lines.addText(QStringLiteral("NICKNAME"), fields.text(kNickname));

    for (const EmailSlot& slot : kEmails) {
        const QString address = fields.text(slot.address);
        if (address.isEmpty() || !isSmtp(fields.text(slot.addressType), address))
            continue;
        const QString displayName = fields.text(slot.displayName);
        QString parameters = v4 ? QStringLiteral("EMAIL") : QStringLiteral("EMAIL;TYPE=INTERNET");
        if (!displayName.isEmpty())
            parameters += QStringLiteral(";X-CN=") + ContentLines::parameter(displayName);
        lines.addText(parameters, address);
    }
    for (const PhoneSlot& slot : kPhones)
        lines.addText(QStringLiteral("TEL;TYPE=") + types(slot.types), fields.text(slot.tag));

    for (const AddressSlot& slot : kAddresses) {
        QStringList parts{fields.text(slot.poBox),  QString(),
                          fields.text(slot.street), fields.text(slot.city),
                          fields.text(slot.state),  fields.text(slot.postalCode),
                          fields.text(slot.country)};
        if (QLatin1String(slot.type) == QLatin1String("work") && parts.join(QString()).isEmpty()) {
            parts = {fields.text(kWorkAddressNamed[0]), QString(),
                     fields.text(kWorkAddressNamed[1]), fields.text(kWorkAddressNamed[2]),
                     fields.text(kWorkAddressNamed[3]), fields.text(kWorkAddressNamed[4]),
                     fields.text(kWorkAddressNamed[5])};
        }
        if (!parts.join(QString()).trimmed().isEmpty())
            lines.add(QStringLiteral("ADR;TYPE=") + types(slot.type), ContentLines::structured(parts));
    }

    const QString company = fields.text(kCompany);
    const QString department = fields.text(kDepartment);
    if (!company.isEmpty() || !department.isEmpty())
        lines.add(QStringLiteral("ORG"), department.isEmpty()
                                             ? ContentLines::escaped(company)
                                             : ContentLines::structured({company, department}));
    lines.addText(QStringLiteral("TITLE"), fields.text(kJobTitle));
    lines.addText(QStringLiteral("ROLE"), fields.text(kProfession));
    lines.addText(QStringLiteral("X-MS-MANAGER"), fields.text(kManager));
    lines.addText(QStringLiteral("X-MS-ASSISTANT"), fields.text(kAssistant));
    if (v4)
        lines.addText(QStringLiteral("RELATED;TYPE=spouse;VALUE=text"), fields.text(kSpouse));
    else
        lines.addText(QStringLiteral("X-MS-SPOUSE"), fields.text(kSpouse));
    // URLs are URIs, not texts: only line breaks would need escaping, and a URL has none.
    for (const auto& [tag, type] :
         {std::pair{kBusinessHomePage, "work"}, std::pair{kPersonalHomePage, "home"}}) {
        const QString url = fields.text(tag).simplified();
        if (!url.isEmpty())
            lines.add(QStringLiteral("URL;TYPE=") + types(type), url);
    }
    for (const auto& [tag, property] :
         {std::pair{kBirthday, "BDAY"}, std::pair{kAnniversary, "ANNIVERSARY"}}) {
        const auto when = fields.time(tag);
        if (!when)
            continue;
        // Stored as local midnight in UTC: noon of the UTC day lands on the local date for
        // every zone from UTC-12 to UTC+12.
        const QDate date = when->addSecs(12 * 3600).date();
        const QString key = v4 || QLatin1String(property) == QLatin1String("BDAY")
                                ? QString::fromLatin1(property)
                                : QStringLiteral("X-ANNIVERSARY");
        lines.add(key, date.toString(v4 ? QStringLiteral("yyyyMMdd") : QStringLiteral("yyyy-MM-dd")));
    }

    if (isGroup) {
        std::vector<std::uint32_t> visited;
        try {
            visited.push_back(item.identifier());
        } catch (const store::StoreError&) {
        }
        for (const Member& member : members(fields, visited)) {
            QString parameters = v4 ? QStringLiteral("MEMBER") : QStringLiteral("X-ADDRESSBOOKSERVER-MEMBER");
            if (!member.name.isEmpty())
                parameters += QStringLiteral(";X-CN=") + ContentLines::parameter(member.name);
            lines.add(parameters, QStringLiteral("mailto:") + member.address);
        }
    }

    lines.addList(QStringLiteral("CATEGORIES"), fields.categories());
    if (const QString note = fields.plainBody(); !note.trimmed().isEmpty())
        lines.addText(QStringLiteral("NOTE"), note);

    // The contact photo: the attachment flagged as such.
    try {
        const int count = item.attachmentCount();
        for (int index = 0; index < count; ++index) {
            const std::unique_ptr<store::Item> attachment = item.attachment(index);
            const auto flag = attachment->boolean(kAttachContactPhoto);
            if (!flag || !*flag)
                continue;
            const std::uint64_t size = attachment->attachmentDataSize();
            if (size == 0 || size > kMaxPhotoSize) {
                fields.addProblem(QStringLiteral("the contact photo is too large to embed"));
                break;
            }
            const QByteArray data = attachment->readAttachmentData(0, static_cast<std::size_t>(size));
            const auto text = [&](std::uint32_t tag) {
                const auto value = attachment->utf8String(tag);
                return value ? QString::fromUtf8(*value).remove(QChar(0)) : QString();
            };
            QString fileName = text(mapi::PrAttachLongFileName);
            if (fileName.isEmpty())
                fileName = text(mapi::PrAttachFileName);
            const QString type = pictureType(text(mapi::PrAttachMimeTag), fileName);
            const QString encoded = QString::fromLatin1(data.toBase64());
            if (v4)
                lines.add(QStringLiteral("PHOTO"),
                          QStringLiteral("data:") + type + QStringLiteral(";base64,") + encoded);
            else
                lines.add(QStringLiteral("PHOTO;ENCODING=b;TYPE=") + type.mid(6).toUpper(), encoded);
            break;
        }
    } catch (const store::StoreError& error) {
        fields.addProblem(QStringLiteral("the contact photo cannot be read: ") + error.message());
    }

    lines.add(QStringLiteral("END"), QStringLiteral("VCARD"));
    return {lines.bytes(), name, fields.problems()};
}

} // namespace convert
