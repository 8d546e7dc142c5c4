// Parse throughput of job documents (UTF-8 bytes to a tree) through our reader and peer
// libraries, on the same bytes; and the memory a 20 MB document's tree takes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <rapidjson/document.h>

#include <QFile>
#include <QJsonDocument>
#include <QString>
#include <map>
#include <nlohmann/json.hpp>

#include "job_document.h"
#include "json/parser.h"

namespace {

const QByteArray& document(qsizetype bytes) {
    static std::map<qsizetype, QByteArray> cache;
    auto it = cache.find(bytes);
    if (it == cache.end()) it = cache.emplace(bytes, makeJobDocument(bytes)).first;
    return it->second;
}

void report(benchmark::State& state, const QByteArray& doc) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * doc.size());
    state.counters["doc_KB"] = static_cast<double>(doc.size()) / 1024.0;
}

void BM_Ours(benchmark::State& state) {
    const QByteArray& doc = document(state.range(0));
    for (auto _ : state) {
        auto [root, errors] = json::parse(QString::fromUtf8(doc));  // decoding included
        if (!errors.isEmpty()) state.SkipWithError("parse error");
        benchmark::DoNotOptimize(root);
    }
    report(state, doc);
}

void BM_Nlohmann(benchmark::State& state) {
    const QByteArray& doc = document(state.range(0));
    for (auto _ : state) {
        auto root = nlohmann::json::parse(doc.constData(), doc.constData() + doc.size());
        benchmark::DoNotOptimize(root);
    }
    report(state, doc);
}

void BM_RapidJSON(benchmark::State& state) {
    const QByteArray& doc = document(state.range(0));
    for (auto _ : state) {
        rapidjson::Document root;
        root.Parse(doc.constData(), static_cast<size_t>(doc.size()));
        if (root.HasParseError()) state.SkipWithError("parse error");
        benchmark::DoNotOptimize(root);
    }
    report(state, doc);
}

void BM_QJsonDocument(benchmark::State& state) {
    const QByteArray& doc = document(state.range(0));
    for (auto _ : state) {
        QJsonDocument root = QJsonDocument::fromJson(doc);
        benchmark::DoNotOptimize(root);
    }
    report(state, doc);
}

// Peak resident memory since the last reset, in bytes (Linux).
long long peakResident() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

long long heapInUse() {
    return static_cast<long long>(mallinfo2().uordblks) +
           static_cast<long long>(mallinfo2().hblkhd);
}

// Heap the tree keeps after the parse, and the peak growth of resident memory during it
// (the decoded text included), both as a multiple of the document size.
template <typename ParseFn>
void measureMemory(benchmark::State& state, ParseFn parse) {
    const QByteArray& doc = document(state.range(0));
    for (auto _ : state) {
        malloc_trim(0);
        const long long heapBefore = heapInUse();
        resetPeak();
        const long long peakBefore = peakResident();
        auto tree = parse(doc);
        const long long peakAfter = peakResident();
        const long long heapAfter = heapInUse();
        benchmark::DoNotOptimize(tree);
        state.counters["tree_MB"] = static_cast<double>(heapAfter - heapBefore) / 1048576.0;
        state.counters["tree_x_doc"] =
            static_cast<double>(heapAfter - heapBefore) / static_cast<double>(doc.size());
        state.counters["peak_MB"] = static_cast<double>(peakAfter - peakBefore) / 1048576.0;
        state.counters["peak_x_doc"] =
            static_cast<double>(peakAfter - peakBefore) / static_cast<double>(doc.size());
    }
}

void BM_MemoryOurs(benchmark::State& state) {
    measureMemory(state,
                  [](const QByteArray& doc) { return json::parse(QString::fromUtf8(doc)).value; });
}
void BM_MemoryNlohmann(benchmark::State& state) {
    measureMemory(state, [](const QByteArray& doc) {
        return nlohmann::json::parse(doc.constData(), doc.constData() + doc.size());
    });
}
void BM_MemoryRapidJSON(benchmark::State& state) {
    measureMemory(state, [](const QByteArray& doc) {
        auto root = std::make_unique<rapidjson::Document>();
        root->Parse(doc.constData(), static_cast<size_t>(doc.size()));
        return root;
    });
}
void BM_MemoryQJsonDocument(benchmark::State& state) {
    measureMemory(state, [](const QByteArray& doc) { return QJsonDocument::fromJson(doc); });
}

constexpr int64_t k5KB = 5 * 1024;
constexpr int64_t k1MB = 1024 * 1024;
constexpr int64_t k20MB = 20 * 1024 * 1024;

}  // namespace

#define SIZES Arg(k5KB)->Arg(k1MB)->Arg(k20MB)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Ours)->SIZES;
BENCHMARK(BM_Nlohmann)->SIZES;
BENCHMARK(BM_RapidJSON)->SIZES;
BENCHMARK(BM_QJsonDocument)->SIZES;
#define ONCE Arg(k20MB)->Iterations(1)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_MemoryOurs)->ONCE;
BENCHMARK(BM_MemoryNlohmann)->ONCE;
BENCHMARK(BM_MemoryRapidJSON)->ONCE;
BENCHMARK(BM_MemoryQJsonDocument)->ONCE;

BENCHMARK_MAIN();
