#include "StoreData.h"

#include "Bytes.h"
#include "Heap.h"
#include "PropertyContext.h"
#include "store/CodePage.h"
#include "store/StoreError.h"

#include <map>

namespace store::native {

namespace {

constexpr std::uint32_t kNameToIdMapNid = 0x61;
constexpr std::uint16_t kNameGuidStream = 0x0002;
constexpr std::uint16_t kNameStringStream = 0x0004;
constexpr std::uint16_t kMessageCodePage = 0x3FFD;
constexpr std::uint16_t kInternetCodePage = 0x3FDE;
// Messages sampled across the store to find its code page.
constexpr std::size_t kCodePageSample = 200;

std::optional<std::uint32_t> inlineInteger(const std::vector<PropertyEntry>& entries, std::uint16_t id)
{
    for (const PropertyEntry& e : entries) {
        if (e.storedId == id && e.type == 0x0003 && e.storage == PropertyEntry::Storage::Inline)
            return get32(e.inlineBytes);
    }
    return std::nullopt;
}

} // namespace

StoreData::StoreData(const QString& path, int codePage) : m_ndb(path), m_givenCodePage(codePage) {}

const NameToIdMap& StoreData::names() const
{
    std::call_once(m_namesRead, [this] {
        // Without a readable map, named properties keep their stored ids.
        try {
            const NodeEntry& node = m_ndb.nodes().get(kNameToIdMapNid);
            const Heap heap(m_ndb.readLeaves(node.bidData), node.nid);
            const std::vector<SubnodeEntry> subnodes = m_ndb.readSubnodes(node.bidSub);
            // The map's streams: GUIDs of the property sets, name records, string names.
            QByteArray streams[3];
            for (const PropertyEntry& e : readPropertyContext(heap)) {
                if (e.storedId < kNameGuidStream || e.storedId > kNameStringStream || e.type != 0x0102)
                    continue;
                QByteArray& stream = streams[e.storedId - kNameGuidStream];
                if (e.storage == PropertyEntry::Storage::Heap) {
                    const QByteArrayView bytes = heap.allocation(e.reference);
                    stream = QByteArray(bytes.data(), bytes.size());
                } else if (e.storage == PropertyEntry::Storage::Subnode) {
                    for (const SubnodeEntry& s : subnodes) {
                        if (s.nid == e.reference)
                            stream = m_ndb.readValue(s.bidData);
                    }
                }
            }
            m_names = NameToIdMap(streams[1], streams[0], streams[2]);
        } catch (const StoreError&) {
        }
    });
    return m_names;
}

int StoreData::codePage() const
{
    if (m_givenCodePage > 0)
        return m_givenCodePage;
    std::call_once(m_codePageRead, [this] {
        const std::vector<NodeEntry>& nodes = m_ndb.nodes().nodes();
        std::vector<const NodeEntry*> messages;
        for (const NodeEntry& node : nodes) {
            if (nidType(node.nid) == NidType::NormalMessage)
                messages.push_back(&node);
        }
        const std::size_t step = std::max<std::size_t>(1, messages.size() / kCodePageSample);
        // PR_MESSAGE_CODEPAGE names the code page of a message's 8-bit texts; PR_INTERNET_CPID that
        // of its Internet form, which often differs, so it counts only where no message names the
        // former, and not when it names a Unicode form or US-ASCII: 8-bit texts in a store are in
        // a Windows code page.
        std::map<int, int> votes[2];
        for (std::size_t i = 0; i < messages.size(); i += step) {
            try {
                const Heap heap(m_ndb.readLeaves(messages[i]->bidData), messages[i]->nid);
                const std::vector<PropertyEntry> entries = readPropertyContext(heap);
                for (int kind = 0; kind < 2; ++kind) {
                    const std::optional<std::uint32_t> page =
                        inlineInteger(entries, kind == 0 ? kMessageCodePage : kInternetCodePage);
                    if (page && codePageName(static_cast<int>(*page)) &&
                        (kind == 0 ? *page != 1200 && *page != 1201
                                   : *page != 1200 && *page != 1201 && *page != 65000 && *page != 65001 &&
                                         *page != 20127)) {
                        ++votes[kind][static_cast<int>(*page)];
                        break;
                    }
                }
            } catch (const StoreError&) {
            }
        }
        const std::map<int, int>& counted = votes[0].empty() ? votes[1] : votes[0];
        int best = 0;
        for (const auto& [page, count] : counted) {
            if (count > best) {
                best = count;
                m_codePage = page;
            }
        }
    });
    return m_codePage;
}

} // namespace store::native
