// What the facade costs on top of the engine that lists an archive: opens the archive through TkvComp and
// walks it with the bare engine (the ZIP manager for ZIP archives, the lister for the rest), best of 7
// each, and prints both times and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "engine/readers/arc_lister.h"
#include "facade/kv_comp.h"
#include "zipmanager/zip_manager.h"

namespace {

double Seconds(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ARCHIVE\n", argv[0]);
        return 2;
    }
    const std::string archive = argv[1];
    std::int64_t entries = 0;
    const auto through_facade = [&] {
        kv::facade::TkvComp comp;
        comp.Open(archive);
        entries = comp.ArcEntryCount();
    };
    const kv::TArcType type = kv::facade::TkvComp().DetectArcType(archive);
    // The bare engine is the one the facade routes the archive to.
    const bool zip = kv::facade::EngineRouteFor(type, archive) == kv::facade::TEngineRoute::erZipManager;
    const auto bare_engine = [&] {
        if (zip) {
            kv::TZipManager manager;
            manager.SetZipFileName(archive);
            return;
        }
        kv::TArcLister lister;
        lister.FileSpec = {"*.*"};
        lister.OnRead = [](kv::TObject*, int, int) {};
        lister.SetArchiveFile(archive);
        lister.Activate();
    };
    // Alternating keeps both under the same conditions (page cache, heap already mapped).
    double facade = 1e9;
    double engine = 1e9;
    for (int i = 0; i < 7; ++i) {
        facade = std::min(facade, Seconds(through_facade));
        engine = std::min(engine, Seconds(bare_engine));
    }
    std::printf("%lld entries: facade %.3f s, bare %s %.3f s, facade/engine %.2f\n", static_cast<long long>(entries),
                facade, zip ? "ZIP manager" : "lister", engine, facade / engine);
    return 0;
}
