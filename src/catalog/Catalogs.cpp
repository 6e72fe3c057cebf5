#include "Catalogs.h"

#include <algorithm>
#include <new>

namespace catalog {

Catalogs& Catalogs::processCatalogs()
{
    static Catalogs catalogs;
    return catalogs;
}

void Catalogs::setOutOfMemoryHandler(OutOfMemoryHandler handler)
{
    std::lock_guard lock(m_appendMutex);
    m_outOfMemoryHandler = std::move(handler);
}

void Catalogs::setRecordLimit(qsizetype limit)
{
    m_recordLimit.store(limit);
}

bool Catalogs::overLimit(qsizetype size) const
{
    const qsizetype limit = m_recordLimit.load();
    return limit >= 0 && size >= limit;
}

void Catalogs::outOfMemory(CatalogOutOfMemory::Catalog which, bool catalogWasEmpty)
{
    const CatalogOutOfMemory error(which, catalogWasEmpty);
    if (m_outOfMemoryHandler)
        m_outOfMemoryHandler(error);
    throw error;
}

void Catalogs::AppendFolderRecord(const QString& name, const QString& parentLabel, int depth,
                                  const QString& relativePath, NodeId parentNode, NodeId node)
{
    std::lock_guard lock(m_appendMutex);
    const bool wasEmpty = m_folders.isEmpty();
    try {
        if (overLimit(m_folders.size()))
            throw std::bad_alloc();
        auto record = std::make_shared<const FolderRecord>(
            FolderRecord{name, parentLabel, depth, relativePath, parentNode, node});
        {
            // The node set first: should the record append fail, a node answering "folder"
            // without its record is harmless, a record whose node is not known as a folder is not.
            std::lock_guard nodesLock(m_folderNodesMutex);
            if (isValid(node))
                m_folderNodes.insert(node);
            if (isValid(parentNode))
                m_folderNodes.insert(parentNode);
        }
        m_folders.append(std::move(record));
    } catch (const std::bad_alloc&) {
        outOfMemory(CatalogOutOfMemory::Catalog::Folder, wasEmpty);
    }
}

template <typename R>
std::shared_ptr<const R> Catalogs::appendItem(Catalog<R>& catalog, CatalogOutOfMemory::Catalog which,
                                              R record)
{
    std::lock_guard lock(m_appendMutex);
    const bool wasEmpty = catalog.isEmpty();
    try {
        if (overLimit(catalog.size()))
            throw std::bad_alloc();
        if (!record.name) {
            if (const auto previous = catalog.last())
                record.name = previous->name;
        }
        auto stored = std::make_shared<const R>(std::move(record));
        catalog.append(stored);
        return stored;
    } catch (const std::bad_alloc&) {
        outOfMemory(which, wasEmpty);
    }
}

std::shared_ptr<const MailRecord> Catalogs::AppendMailRecord(MailRecord record)
{
    if (record.serial == 0)
        record.serial = 1;
    return appendItem(m_mails, CatalogOutOfMemory::Catalog::Mail, std::move(record));
}

std::shared_ptr<const AppointmentRecord> Catalogs::AppendAppointmentRecord(AppointmentRecord record)
{
    return appendItem(m_appointments, CatalogOutOfMemory::Catalog::Appointment, std::move(record));
}

std::shared_ptr<const ContactRecord> Catalogs::AppendContactRecord(const QString& name, NodeId node, int kind,
                                                                   const ContactRecord::SlotValues& values,
                                                                   int serial)
{
    std::lock_guard lock(m_appendMutex);
    const bool wasEmpty = m_contacts.isEmpty();
    try {
        if (overLimit(m_contacts.size()))
            throw std::bad_alloc();
        auto record = std::make_shared<ContactRecord>();
        record->name = name;
        record->node = node;
        record->kind = kind;
        record->serial = serial;
        for (int number = 1; number <= ContactRecord::SlotCount; ++number) {
            const bool ignored =
                std::find(ContactRecord::IgnoredSlots.begin(), ContactRecord::IgnoredSlots.end(), number) !=
                ContactRecord::IgnoredSlots.end();
            if (!ignored)
                record->setSlot(number, values[static_cast<std::size_t>(number - 1)]);
        }
        std::shared_ptr<const ContactRecord> stored = std::move(record);
        m_contacts.append(stored);
        return stored;
    } catch (const std::bad_alloc&) {
        outOfMemory(CatalogOutOfMemory::Catalog::Contact, wasEmpty);
    }
}

void Catalogs::ClearCatalogs()
{
    std::lock_guard lock(m_appendMutex);
    {
        std::lock_guard nodesLock(m_folderNodesMutex);
        m_folderNodes.clear();
    }
    m_folders.clear();
    m_mails.clear();
    m_contacts.clear();
    m_appointments.clear();
    ++m_generation;
}

bool Catalogs::IsCatalogFolderNode(NodeId node) const
{
    if (!isValid(node))
        return false;
    std::lock_guard lock(m_folderNodesMutex);
    return m_folderNodes.contains(node);
}

} // namespace catalog
