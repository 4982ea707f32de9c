// What the list and tree views cost on a large archive: a ZIP of 100 000 entries (95 000 in 1 000 folders,
// 5 000 in one) is opened through the facade with both views bound and shown, then the list is refilled
// flat and in explorer style, sorted by three columns, and the tree rebuilt; best of 5 each, including the
// layout Qt does before the next paint. The facade's own listing is printed for comparison.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "facade/kv_comp.h"
#include "facade/views/arc_list_view.h"
#include "facade/views/arc_tree_view.h"
#include "facade/views/list_columns.h"
#include "support/zip_builder.h"

namespace {

double BestSeconds(const std::function<void()>& run) {
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        QApplication::processEvents();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

std::string ManyEntriesZip() {
    static const char* const kExtensions[] = {".txt", ".c", ".h", ".png", ".dat", ".tar.gz", ""};
    std::vector<kv::test::ZipMember> members;
    for (int i = 0; i < 100000; ++i) {
        std::string name = i < 5000 ? "big/" : "d" + std::to_string(i % 100) + "/s" + std::to_string(i % 10) + "/";
        name += "file" + std::to_string(i) + kExtensions[i % 7];
        members.push_back({.name = std::move(name), .data = std::string(static_cast<std::size_t>(i % 97), 'x')});
    }
    return kv::test::BuildZip(members, {.zip64_end = true});  // more entries than the plain end record counts
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.path() + "/many.zip";
    QFile file(path);
    const std::string bytes = ManyEntriesZip();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();
    const std::string archive = path.toStdString();

    kv::facade::TkvComp comp;
    kv::facade::TArcListView list;
    kv::facade::TArcTreeView tree;
    list.resize(900, 700);
    tree.resize(300, 700);
    list.show();
    tree.show();
    list.SetkvComp(&comp);
    tree.SetkvComp(&comp);
    comp.SetListFiles(true);
    if (!comp.Open(archive)) {
        std::fprintf(stderr, "cannot open %s\n", archive.c_str());
        return 1;
    }
    const double open = BestSeconds([&] { comp.Reload(); });
    const double flat = BestSeconds([&] { list.Refill(); });
    const double by_name = BestSeconds([&] { list.ColumnClick(kv::facade::lcFilename); });
    const double by_size = BestSeconds([&] { list.ColumnClick(kv::facade::lcSize); });
    const double by_type = BestSeconds([&] { list.ColumnClick(kv::facade::lcType); });
    comp.SetExplorerStyle(true);
    const double explorer_top = BestSeconds([&] { list.Refill(); });
    comp.SetDirFilter("big/");
    const double explorer_big = BestSeconds([&] { list.Refill(); });
    const double tree_rebuild = BestSeconds([&] { tree.Rebuild(); });
    list.selectAll();
    const double selected_size = BestSeconds([&] { std::printf("%s", list.SelSize() < 0 ? "?" : ""); });

    std::printf("%lld entries, facade listing (Reload) %.3f s\n", static_cast<long long>(comp.ArcEntryCount()), open);
    std::printf("list refill: flat %.3f s, explorer top %.3f s, explorer 5 000-entry folder %.3f s\n", flat,
                explorer_top, explorer_big);
    std::printf("list sort (flat): name %.3f s, size %.3f s, type %.3f s\n", by_name, by_size, by_type);
    std::printf("tree rebuild %.3f s; SelSize of a whole 5 000-entry folder %.4f s\n", tree_rebuild, selected_size);
    std::printf("flat refill / facade listing %.2f, name sort / facade listing %.2f\n", flat / open, by_name / open);
    return 0;
}
