// The recovery pass alone: opens a store, times its open and the pass, and prints both with the
// bytes read per second, the items found by state and the peak memory of the process.

#include "store/Store.h"
#include "store/StoreError.h"

#include <QElapsedTimer>
#include <cstdio>
#include <map>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: recovery_pass STORE\n");
        return 2;
    }
    try {
        QElapsedTimer clock;
        clock.start();
        const std::unique_ptr<store::Store> opened = store::openStore(QString::fromLocal8Bit(argv[1]));
        const double openSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        clock.restart();
        const std::vector<store::RecoveredItem> items = opened->recoverItems();
        const double passSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        std::map<store::RecoveredState, int> states;
        for (const store::RecoveredItem& item : items)
            ++states[item.state];
        rusage usage = {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("open %.2f s, pass %.2f s (%.0f MB/s over %.2f GB), peak %ld MB, items %zu", openSeconds,
                    passSeconds, static_cast<double>(opened->fileSize()) / 1e6 / passSeconds,
                    static_cast<double>(opened->fileSize()) / 1e9, usage.ru_maxrss / 1024, items.size());
        for (const auto& [state, count] : states)
            std::printf(", %s %d", store::recoveredStateName(state), count);
        std::printf("\n");
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "recovery_pass: %s\n", e.what());
        return 1;
    }
    return 0;
}
