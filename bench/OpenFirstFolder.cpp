// How long a user waits for the first folders: opens a store with the offline-store rule, takes
// the root folder and lists the names of the top folder's sub-folders, and reports the time from
// the start of main to that listing. For the native reader it also reports the memory its index
// takes: the heap the open allocated, per node of the store.
//
//   open_first_folder STORE [--reader native|libpff]

#include "store/Store.h"
#include "store/StoreError.h"
#include "store/native/NativeStore.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

// Bytes in use on the heap. The index's large arrays come from mmap (glibc serves big requests
// that way), which mallinfo2 counts in hblkhd, not in uordblks; both are taken.
std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

int usage()
{
    std::fprintf(stderr, "usage: open_first_folder STORE [--reader native|libpff]\n");
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    store::OpenOptions options;
    if (argc == 4 && std::strcmp(argv[2], "--reader") == 0) {
        const auto kind = store::readerKindFromName(QString::fromLocal8Bit(argv[3]));
        if (!kind)
            return usage();
        options.reader = *kind;
    } else if (argc != 2) {
        return usage();
    }

    try {
        const std::size_t heapBefore = heapInUse();
        const auto opened = store::openOfflineStore(QString::fromLocal8Bit(argv[1]), options);
        const std::size_t heapAfter = heapInUse();
        const qint64 openMs = sinceStart.elapsed();

        const auto root = opened->rootFolder();
        if (root->subFolderCount() == 0) {
            std::fprintf(stderr, "the root folder has no sub-folders\n");
            return 1;
        }
        const auto top = root->subFolder(0);
        QByteArray names;
        for (int index = 0; index < top->subFolderCount(); ++index) {
            if (index > 0)
                names += ", ";
            names += top->subFolder(index)->utf8String(0x3001).value_or(QByteArray());
        }
        const qint64 listedMs = sinceStart.elapsed();

        std::printf("reader: %s\n", store::readerKindName(options.reader));
        std::printf("top folder's sub-folders: %s\n", names.constData());
        std::printf("listed after: %lld ms (open: %lld ms)\n", static_cast<long long>(listedMs),
                    static_cast<long long>(openMs));
        if (const auto* native = dynamic_cast<const store::native::NativeStore*>(opened.get())) {
            const std::size_t nodes = native->nodeCount();
            const std::size_t leafPages = native->blockIndexLeafPages();
            // What the index's layout needs: a node entry and its place in the children index
            // per node, and an entry per leaf page of the block index.
            const std::size_t layoutBytes = nodes * (24 + 4) + leafPages * 24;
            const std::size_t allocated = heapAfter > heapBefore ? heapAfter - heapBefore : 0;
            std::printf("nodes: %zu\n", nodes);
            std::printf("block-index leaf pages: %zu\n", leafPages);
            std::printf("open heap: %zu bytes, %.1f bytes per node (the layout: %zu bytes, %.1f per node)\n",
                        allocated, nodes ? static_cast<double>(allocated) / static_cast<double>(nodes) : 0.0,
                        layoutBytes,
                        nodes ? static_cast<double>(layoutBytes) / static_cast<double>(nodes) : 0.0);
        }
    } catch (const store::StoreError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
