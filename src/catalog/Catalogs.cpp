#include "Catalogs.h"

#include "TextBlob.h"

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

namespace {

QByteArray mailTextsBlob(const MailTexts& texts)
{
    TextBlobWriter out;
    out.text(texts.senderAddress);
    out.text(texts.to);
    out.text(texts.date);
    out.text(texts.modificationTime);
    out.text(texts.sensitivity);
    out.text(texts.importance);
    out.text(texts.body);
    out.text(texts.attachments);
    out.text(texts.folderPath);
    out.number(static_cast<quint64>(texts.attachmentFiles.size()));
    for (const MailAttachment& entry : texts.attachmentFiles) {
        out.text(entry.listedPath);
        out.text(entry.filePath);
        out.text(entry.contentId);
        out.numbers(entry.folderRoute);
        out.signedNumber(entry.messageIndex);
        out.numbers(entry.attachmentRoute);
        out.number(static_cast<quint64>(entry.itemSerial < 0 ? 0 : entry.itemSerial));
        out.text(entry.target);
    }
    out.number(static_cast<quint64>(texts.recipients.size()));
    for (const MailRecipient& recipient : texts.recipients) {
        out.text(recipient.name);
        out.text(recipient.address);
        out.number(static_cast<quint64>(recipient.type < 0 ? 0 : recipient.type));
    }
    return out.bytes();
}

std::optional<MailTexts> mailTextsFromBlob(const QByteArray& blob)
{
    TextBlobReader in(blob);
    MailTexts texts;
    texts.senderAddress = in.text();
    texts.to = in.text();
    texts.date = in.text();
    texts.modificationTime = in.text();
    texts.sensitivity = in.text();
    texts.importance = in.text();
    texts.body = in.text();
    texts.attachments = in.text();
    texts.folderPath = in.text();
    const quint64 count = in.number();
    for (quint64 i = 0; i < count && in.ok(); ++i) {
        MailAttachment entry;
        entry.listedPath = in.plainText();
        entry.filePath = in.plainText();
        entry.contentId = in.plainText();
        entry.folderRoute = in.numbers();
        entry.messageIndex = static_cast<int>(in.signedNumber());
        entry.attachmentRoute = in.numbers();
        entry.itemSerial = static_cast<int>(in.number());
        entry.target = in.plainText();
        if (in.ok())
            texts.attachmentFiles.append(std::move(entry));
    }
    const quint64 recipients = in.number();
    for (quint64 i = 0; i < recipients && in.ok(); ++i) {
        MailRecipient recipient;
        recipient.name = in.plainText();
        recipient.address = in.plainText();
        recipient.type = static_cast<int>(in.number());
        if (in.ok())
            texts.recipients.append(std::move(recipient));
    }
    if (!in.ok())
        return std::nullopt;
    return texts;
}

// What identifies a record to a search: its serial, kind, folder node and, where it has one, its
// time.
template <typename R> SearchSource searchSourceOf(const R& record)
{
    SearchSource source;
    source.serial = record.serial;
    source.kind = record.kind;
    source.node = toInt(record.node);
    if constexpr (requires { record.time; })
        source.time = record.time;
    return source;
}

// A record's folder name shared with the record before when they are the same, so that a
// folder's mails hold one copy of it.
template <typename R> void shareName(std::optional<QString>& name, const std::shared_ptr<const R>& previous)
{
    if (!previous || !previous->name)
        return;
    if (!name)
        name = previous->name;
    else if (*name == *previous->name)
        name = previous->name;
}

} // namespace

std::shared_ptr<const MailRecord> Catalogs::AppendMailRecord(MailRecord record, MailTexts texts,
                                                             const SearchExtras& extras)
{
    if (record.serial == 0)
        record.serial = 1;
    record.hasAttachments = record.hasAttachments || !texts.attachmentFiles.isEmpty() ||
                            (texts.attachments && !texts.attachments->isEmpty());
    const QByteArray blob = mailTextsBlob(texts);
    auto stored =
        appendWith(m_mails, CatalogOutOfMemory::Catalog::Mail, [&](const Catalog<MailRecord>& catalog) {
            shareName(record.name, catalog.last());
            {
                std::lock_guard lock(m_textsMutex);
                record.texts = m_texts->append(blob);
            }
            return std::make_shared<const MailRecord>(std::move(record));
        });
    if (searchIndex()) {
        SearchSource source = searchSourceOf(*stored);
        source.hasAttachments = stored->hasAttachments;
        source.bodyIsHtml = texts.body ? stored->bodyKind == 1 : extras.bodyIsHtml;
        auto& fields = source.fields;
        fields[static_cast<int>(SearchField::From)] =
            stored->from.value_or(QString()) + QLatin1Char(' ') + texts.senderAddress.value_or(QString());
        QString to = texts.to.value_or(QString());
        for (const MailRecipient& recipient : texts.recipients)
            to += QLatin1Char(' ') + recipient.name + QLatin1Char(' ') + recipient.address;
        fields[static_cast<int>(SearchField::To)] = to;
        fields[static_cast<int>(SearchField::Subject)] = stored->subject.value_or(QString());
        fields[static_cast<int>(SearchField::Body)] = texts.body ? *texts.body : extras.body;
        QString names;
        for (const MailAttachment& entry : texts.attachmentFiles)
            names += entry.listedPath.mid(entry.listedPath.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1Char('\n');
        if (texts.attachmentFiles.isEmpty())
            names = texts.attachments.value_or(QString());
        fields[static_cast<int>(SearchField::Attachment)] = names;
        addToSearch(std::move(source));
    }
    return stored;
}

void Catalogs::addToSearch(SearchSource source)
{
    if (const std::shared_ptr<SearchIndex> index = searchIndex())
        index->add(std::move(source));
}

std::shared_ptr<SearchIndex> Catalogs::searchIndex() const
{
    std::lock_guard lock(m_textsMutex);
    return m_search;
}

void Catalogs::setSearchable(bool searchable)
{
    std::shared_ptr<SearchIndex> index;
    QString folder;
    {
        std::lock_guard lock(m_textsMutex);
        folder = m_textFolder;
    }
    if (searchable)
        index = SearchIndex::create(folder);
    ClearCatalogs();
    std::lock_guard lock(m_textsMutex);
    m_search = std::move(index);
}

QByteArray Catalogs::readTexts(const TextRef& ref)
{
    QByteArray blob = ref.file->read(ref.offset, ref.size);
    if (blob.size() != static_cast<qsizetype>(ref.size))
        throw CatalogWriteError(ref.file->path(), QStringLiteral("the file is shorter than written"));
    return blob;
}

std::optional<MailTexts> Catalogs::mailTexts(const MailRecord& record) const
{
    if (!record.texts.isValid())
        return std::nullopt;
    std::optional<MailTexts> texts = mailTextsFromBlob(readTexts(record.texts));
    if (!texts)
        throw CatalogWriteError(record.texts.file->path(),
                                QStringLiteral("damaged texts at offset %1").arg(record.texts.offset));
    return texts;
}

std::optional<Mail> Catalogs::mail(int serial) const
{
    const auto record = m_mails.bySerial(serial);
    if (!record)
        return std::nullopt;
    std::optional<MailTexts> texts = mailTexts(*record);
    if (!texts)
        return std::nullopt;
    return Mail{*record, std::move(*texts)};
}

ContactRecord Catalogs::fullContact(const ContactRecord& record) const
{
    ContactRecord full = record;
    full.texts = {};
    if (!record.texts.isValid())
        return full;
    const QByteArray blob = readTexts(record.texts);
    TextBlobReader in(blob);
    const quint64 count = in.number();
    for (quint64 i = 0; i < count && in.ok(); ++i) {
        const int number = static_cast<int>(in.number());
        const std::optional<QString> text = in.text();
        if (in.ok())
            full.setSlot(number, text);
    }
    if (!in.ok())
        throw CatalogWriteError(record.texts.file->path(),
                                QStringLiteral("damaged texts at offset %1").arg(record.texts.offset));
    return full;
}

std::shared_ptr<TextFile> Catalogs::textFile() const
{
    std::lock_guard lock(m_textsMutex);
    return m_texts;
}

void Catalogs::setTextFolder(const QString& folder)
{
    std::shared_ptr<TextFile> file = TextFile::create(folder);
    {
        std::lock_guard lock(m_textsMutex);
        m_textFolder = folder;
    }
    ClearCatalogs();
    std::lock_guard lock(m_textsMutex);
    m_texts = std::move(file);
}

std::shared_ptr<const AppointmentRecord> Catalogs::AppendAppointmentRecord(AppointmentRecord record,
                                                                           const AppointmentTexts& texts)
{
    auto stored = appendWith(m_appointments, CatalogOutOfMemory::Catalog::Appointment,
                      [&](const Catalog<AppointmentRecord>& catalog) {
                          shareName(record.name, catalog.last());
                          return std::make_shared<const AppointmentRecord>(std::move(record));
                      });
    if (searchIndex()) {
        SearchSource source = searchSourceOf(*stored);
        source.bodyIsHtml = texts.descriptionIsHtml;
        auto& fields = source.fields;
        fields[static_cast<int>(SearchField::Subject)] = stored->subject.value_or(QString());
        fields[static_cast<int>(SearchField::Other)] = stored->location.value_or(QString());
        fields[static_cast<int>(SearchField::To)] = texts.attendees;
        fields[static_cast<int>(SearchField::Body)] = texts.description;
        addToSearch(std::move(source));
    }
    return stored;
}

template <typename R>
std::shared_ptr<const R> Catalogs::appendWithBody(Catalog<R>& catalog, CatalogOutOfMemory::Catalog which,
                                                  R record, const QString& body, const QString& other)
{
    QByteArray blob;
    if (!body.isEmpty()) {
        TextBlobWriter out;
        out.text(body);
        blob = out.bytes();
    }
    auto stored = appendWith(catalog, which, [&](const Catalog<R>&) {
        if (!blob.isEmpty()) {
            std::lock_guard lock(m_textsMutex);
            record.body = m_texts->append(blob);
        }
        return std::make_shared<const R>(std::move(record));
    });
    if (searchIndex()) {
        SearchSource source = searchSourceOf(*stored);
        auto& fields = source.fields;
        fields[static_cast<int>(SearchField::Subject)] = stored->subject.value_or(QString());
        fields[static_cast<int>(SearchField::Other)] = other;
        fields[static_cast<int>(SearchField::Body)] = body;
        addToSearch(std::move(source));
    }
    return stored;
}

std::shared_ptr<const TaskRecord> Catalogs::AppendTaskRecord(TaskRecord record, const QString& body)
{
    return appendWithBody(m_tasks, CatalogOutOfMemory::Catalog::Task, std::move(record), body, QString());
}

std::shared_ptr<const NoteRecord> Catalogs::AppendNoteRecord(NoteRecord record, const QString& body)
{
    return appendWithBody(m_notes, CatalogOutOfMemory::Catalog::Note, std::move(record), body, QString());
}

std::shared_ptr<const JournalRecord> Catalogs::AppendJournalRecord(JournalRecord record, const QString& body)
{
    const QString type = record.entryType.value_or(QString());
    return appendWithBody(m_journal, CatalogOutOfMemory::Catalog::Journal, std::move(record), body, type);
}

QString Catalogs::bodyText(const TextRef& body) const
{
    if (!body.isValid())
        return {};
    const QByteArray blob = readTexts(body);
    TextBlobReader in(blob);
    const QString text = in.plainText();
    if (!in.ok())
        throw CatalogWriteError(body.file->path(),
                                QStringLiteral("damaged texts at offset %1").arg(body.offset));
    return text;
}

std::shared_ptr<const ContactRecord> Catalogs::AppendContactRecord(const QString& name, NodeId node, int kind,
                                                                   const ContactRecord::SlotValues& values,
                                                                   int serial, const QStringList& addresses)
{
    auto stored = appendWith(m_contacts, CatalogOutOfMemory::Catalog::Contact, [&](const Catalog<ContactRecord>&) {
        auto record = std::make_shared<ContactRecord>();
        record->name = name;
        record->node = node;
        record->kind = kind;
        record->serial = serial;
        TextBlobWriter slotsBlob;
        QList<std::pair<int, QString>> unlisted;
        for (int number = 1; number <= ContactRecord::SlotCount; ++number) {
            const auto& ignored = ContactRecord::IgnoredSlots;
            if (std::find(ignored.begin(), ignored.end(), number) != ignored.end())
                continue;
            const std::optional<QString>& value = values[static_cast<std::size_t>(number - 1)];
            if (ContactRecord::isListedSlot(number))
                record->setSlot(number, value);
            else if (value)
                unlisted.append({number, *value});
        }
        if (!unlisted.isEmpty()) {
            slotsBlob.number(static_cast<quint64>(unlisted.size()));
            for (const auto& [number, text] : unlisted) {
                slotsBlob.number(static_cast<quint64>(number));
                slotsBlob.text(text);
            }
            std::lock_guard lock(m_textsMutex);
            record->texts = m_texts->append(slotsBlob.bytes());
        }
        return std::shared_ptr<const ContactRecord>(std::move(record));
    });
    if (searchIndex()) {
        const auto slot = [&values](int number) {
            return values[static_cast<std::size_t>(number - 1)].value_or(QString());
        };
        SearchSource source = searchSourceOf(*stored);
        auto& fields = source.fields;
        fields[static_cast<int>(SearchField::Subject)] = slot(6);
        QStringList names{slot(13), slot(14), slot(12), slot(32), slot(65)};
        names += addresses;
        fields[static_cast<int>(SearchField::From)] = names.join(QLatin1Char(' '));
        fields[static_cast<int>(SearchField::Other)] =
            QStringList{slot(1), slot(54), slot(5), slot(25)}.join(QLatin1Char(' '));
        fields[static_cast<int>(SearchField::Body)] = slot(66);
        addToSearch(std::move(source));
    }
    return stored;
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
    m_tasks.clear();
    m_notes.clear();
    m_journal.clear();
    ++m_generation;
    // A fresh file for the next scan: the old one goes with the last reader that holds it.
    std::lock_guard textsLock(m_textsMutex);
    if (m_search && m_search->file()->size() > 0) {
        try {
            m_search = SearchIndex::create(m_textFolder);
        } catch (const CatalogWriteError&) {
            m_search = SearchIndex::create(QString());
        }
    }
    if (m_texts->size() > 0) {
        try {
            m_texts = TextFile::create(m_textFolder);
        } catch (const CatalogWriteError&) {
            // The folder is gone: keep the texts in memory rather than lose the next scan's.
            m_texts = TextFile::create(QString());
        }
    }
}

bool Catalogs::IsCatalogFolderNode(NodeId node) const
{
    if (!isValid(node))
        return false;
    std::lock_guard lock(m_folderNodesMutex);
    return m_folderNodes.contains(node);
}

} // namespace catalog
