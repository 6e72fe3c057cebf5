#include "Catalogs.h"

#include <algorithm>
#include <new>

namespace catalog {

Catalogs& Catalogs::processCatalogs()
{
    // Never destroyed: a scan worker still appending while the process exits must not meet a
    // catalog that static destruction has already torn down.
    static Catalogs* const catalogs = new Catalogs;
    return *catalogs;
}

void Catalogs::setOutOfMemoryHandler(OutOfMemoryHandler handler)
{
    std::lock_guard lock(m_appendMutex);
    m_outOfMemoryHandler = handler ? std::make_shared<const OutOfMemoryHandler>(std::move(handler)) : nullptr;
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

void Catalogs::outOfMemory(const std::shared_ptr<const OutOfMemoryHandler>& handler,
                           CatalogOutOfMemory::Catalog which, bool catalogWasEmpty)
{
    const CatalogOutOfMemory error(which, catalogWasEmpty);
    if (handler && *handler)
        (*handler)(error);
    throw error;
}

template <typename R, typename Make>
std::shared_ptr<const R> Catalogs::appendWith(Catalog<R>& catalog, CatalogOutOfMemory::Catalog which,
                                              Make make)
{
    bool wasEmpty = false;
    // Copying a shared pointer cannot fail, unlike copying the handler itself.
    std::shared_ptr<const OutOfMemoryHandler> handler;
    {
        std::lock_guard lock(m_appendMutex);
        wasEmpty = catalog.isEmpty();
        try {
            if (overLimit(catalog.size()))
                throw std::bad_alloc();
            std::shared_ptr<const R> stored = make(catalog);
            catalog.append(stored);
            return stored;
        } catch (const std::bad_alloc&) {
            handler = m_outOfMemoryHandler;
        }
    }
    // The handler runs without the append lock: it may wait for the GUI thread, which may be
    // clearing the catalogs at that moment.
    outOfMemory(handler, which, wasEmpty);
}

void Catalogs::AppendFolderRecord(const QString& name, const QString& parentLabel, int depth,
                                  const QString& relativePath, NodeId parentNode, NodeId node,
                                  std::optional<std::uint32_t> storeIdentifier)
{
    appendWith(m_folders, CatalogOutOfMemory::Catalog::Folder, [&](const Catalog<FolderRecord>&) {
        auto record = std::make_shared<const FolderRecord>(
            FolderRecord{name, parentLabel, depth, relativePath, parentNode, node, storeIdentifier});
        // The node set first: should the record append fail, a node answering "folder" without
        // its record is harmless, a record whose node is not known as a folder is not.
        std::lock_guard nodesLock(m_folderNodesMutex);
        if (isValid(node))
            m_folderNodes.insert(node);
        if (isValid(parentNode))
            m_folderNodes.insert(parentNode);
        return record;
    });
}

std::shared_ptr<const MailRecord> Catalogs::AppendMailRecord(MailRecord record)
{
    if (record.serial == 0)
        record.serial = 1;
    return appendWith(m_mails, CatalogOutOfMemory::Catalog::Mail, [&](const Catalog<MailRecord>& catalog) {
        if (!record.name) {
            if (const auto previous = catalog.last())
                record.name = previous->name;
        }
        return std::make_shared<const MailRecord>(std::move(record));
    });
}

std::shared_ptr<const AppointmentRecord> Catalogs::AppendAppointmentRecord(AppointmentRecord record)
{
    return appendWith(m_appointments, CatalogOutOfMemory::Catalog::Appointment,
                      [&](const Catalog<AppointmentRecord>& catalog) {
                          if (!record.name) {
                              if (const auto previous = catalog.last())
                                  record.name = previous->name;
                          }
                          return std::make_shared<const AppointmentRecord>(std::move(record));
                      });
}

std::shared_ptr<const ContactRecord> Catalogs::AppendContactRecord(const QString& name, NodeId node, int kind,
                                                                   const ContactRecord::SlotValues& values,
                                                                   int serial)
{
    return appendWith(m_contacts, CatalogOutOfMemory::Catalog::Contact, [&](const Catalog<ContactRecord>&) {
        auto record = std::make_shared<ContactRecord>();
        record->name = name;
        record->node = node;
        record->kind = kind;
        record->serial = serial;
        for (int number = 1; number <= ContactRecord::SlotCount; ++number) {
            const auto& ignored = ContactRecord::IgnoredSlots;
            if (std::find(ignored.begin(), ignored.end(), number) == ignored.end())
                record->setSlot(number, values[static_cast<std::size_t>(number - 1)]);
        }
        return std::shared_ptr<const ContactRecord>(std::move(record));
    });
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
