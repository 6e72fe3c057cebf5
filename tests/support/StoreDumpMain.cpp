// Prints what a reader shows of a store (see StoreDump.h), for comparing readers by hand:
//   store_dump [--reader native|libpff] STORE > lines.txt
#include "StoreDump.h"

#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <store/StoreError.h>

int main(int argc, char* argv[])
{
    store::OpenOptions options;
    support::StoreDumpOptions dumpOptions;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reader") == 0 && i + 1 < argc) {
            const auto kind = store::readerKindFromName(QString::fromLatin1(argv[++i]));
            if (!kind) {
                std::fprintf(stderr, "unknown reader: %s\n", argv[i]);
                return 2;
            }
            options.reader = *kind;
        } else if (std::strcmp(argv[i], "--inline") == 0 && i + 1 < argc) {
            dumpOptions.inlineBytes = std::atoi(argv[++i]);
        } else {
            path = argv[i];
        }
    }
    if (!path) {
        std::fprintf(stderr, "usage: store_dump [--reader native|libpff] [--inline BYTES] STORE\n");
        return 2;
    }
    try {
        const auto opened = store::openStore(QString::fromLocal8Bit(path), options);
        QTextStream out(stdout);
        support::dumpStore(
            *opened, [&](const QString& line) { out << line << '\n'; }, dumpOptions);
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
