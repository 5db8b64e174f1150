// Benchmarks: UpdateChecksum against the byte-at-a-time loop, applying a package against copying
// the same bytes with plain read and write calls, and the peak memory of one apply, each case
// measured in a fresh process of this program so that the figures do not depend on each other.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "install/uninstall_list.h"
#include "package/apply_update_package.h"
#include "package/checksum.h"
#include "package/package_format.h"
#include "tests/bench/plain_checksum.h"
#include "tests/support/child_process.h"
#include "tests/support/test_files.h"
#include "tools/package_writer.h"

namespace {

using package_writer::Bytes;

constexpr char kPeakChildOption[] = "--peak-child";
constexpr double kMiB = 1024.0 * 1024.0;

// The goals the figures are held to.
constexpr double kChecksumSpeedup = 5.0;      // UpdateChecksum against the plain loop, at least
constexpr double kApplyOverCopy = 1.2;        // applying the large package against copying it, at most
constexpr double kPeakAllowanceMiB = 2.0;     // peak memory above the largest member, at most

Bytes RandomBytes(uint64_t seed, size_t size) {
    Bytes bytes(size);
    std::mt19937_64 random(seed);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = random();
        std::memcpy(&bytes[i], &word, 8);
    }
    for (; i < size; ++i) bytes[i] = static_cast<uint8_t>(random());
    return bytes;
}

// --- Checksum ------------------------------------------------------------------------------

using ChecksumRoutine = void (*)(FileChecksum*, const void*, uint32_t);

// 256 KiB stays in the second-level cache, so the figures are the checksum's, not the memory's.
const Bytes& ChecksumInput() {
    static const Bytes input = RandomBytes(1, 256 << 10);
    return input;
}

void BM_Checksum(benchmark::State& state, ChecksumRoutine checksum) {
    const Bytes& input = ChecksumInput();
    for (auto _ : state) {
        FileChecksum result = {};
        checksum(&result, input.data(), static_cast<uint32_t>(input.size()));
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
}

// --- Packages ------------------------------------------------------------------------------

// One updater file on disk and where its members lie in it.
struct Workload {
    std::string updaterPath;
    struct Span {
        std::string name;
        uint32_t position;
        uint32_t size;
    };
    std::vector<Span> members;
    uint64_t memberBytes = 0;
    uint32_t largestMember = 0;
};

// Writes the updater file for members, verified by a hash list "cvn.hvl" that names the
// hashed members and the extra names, stored under hashListName as the last member.
Workload WriteWorkload(const std::string& path, std::vector<package_writer::Member> members,
                       const std::vector<size_t>& hashed, const std::vector<std::string>& extraNames,
                       const std::string& hashListName) {
    std::vector<package_writer::HashedFile> files;
    for (const std::string& name : extraNames) files.push_back({name, FileChecksum{}});
    for (size_t index : hashed) files.push_back({members[index].name, package_writer::ChecksumOf(members[index].data)});
    members.push_back({hashListName, package_writer::BuildHashList(files)});

    Workload workload;
    workload.updaterPath = path;
    uint32_t position = kDirectoryOffset + static_cast<uint32_t>(members.size() * sizeof(PackageEntry));
    for (const package_writer::Member& member : members) {
        uint32_t size = static_cast<uint32_t>(member.data.size());
        workload.members.push_back({member.name, position, size});
        workload.memberBytes += size;
        if (size > workload.largestMember) workload.largestMember = size;
        position += size;
    }
    Bytes file = package_writer::LayOutUpdater(test_support::ToBytes("stub"), members);
    members.clear();
    if (file.empty() || !test_support::WriteFileBytes(path, file)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(2);
    }
    return workload;
}

// The package the updater ships: a 1,406,474-byte data archive and the 848-byte hash list
// "CVN.hvl" with 13 entries (the archive among them), 1,800,618 bytes of updater file in all.
Workload WriteShippedShape(const std::string& path) {
    std::vector<package_writer::Member> members = {{"data01000.arc", RandomBytes(2, 1406474)}};
    std::vector<std::string> others = {"valnea.exe",    "corvane.exe",   "system00.arc",  "system01.arc",
                                       "system02.arc",  "system03.arc",  "data01001.arc", "data01002.arc",
                                       "data01003.arc", "data01004.arc", "data01005.arc", "data01006.arc"};
    return WriteWorkload(path, std::move(members), {0}, others, "CVN.hvl");
}

// Eight members of 64 MiB, every one named in the hash list.
Workload WriteLarge(const std::string& path) {
    std::vector<package_writer::Member> members;
    std::vector<size_t> hashed;
    for (int i = 0; i < 8; ++i) {
        members.push_back({"large" + std::to_string(i) + ".bin", RandomBytes(10 + i, 64u << 20)});
        hashed.push_back(members.size() - 1);
    }
    return WriteWorkload(path, std::move(members), hashed, {}, "cvn.hvl");
}

// All files of the benchmarks live in one temporary folder, made on first use, removed at exit.
struct Workspace {
    test_support::TempFolder folder;
    Workload shipped, large;

    static Workspace& Get() {
        static Workspace workspace;
        return workspace;
    }

    const Workload& Shipped() {
        if (shipped.updaterPath.empty()) shipped = WriteShippedShape(folder.Join("shipped.exe"));
        return shipped;
    }
    const Workload& Large() {
        if (large.updaterPath.empty()) large = WriteLarge(folder.Join("large.exe"));
        return large;
    }

    // A folder with an uninstall list, as the game's installer leaves it.
    std::string InstallFolder(const std::string& name) {
        std::string path = folder.Join(name);
        if (!test_support::FileExists(path)) {
            const char kList[] = "valnea.exe\n";
            if (!test_support::MakeFolder(path) ||
                !test_support::WriteFileBytes(path + "/" + kUninstallListName, Bytes(kList, kList + sizeof(kList)))) {
                std::fprintf(stderr, "cannot prepare %s\n", path.c_str());
                std::exit(2);
            }
        }
        return path;
    }
};

enum class Package { kShipped, kLarge };

const Workload& WorkloadOf(Package package) {
    return package == Package::kShipped ? Workspace::Get().Shipped() : Workspace::Get().Large();
}
const char* NameOf(Package package) { return package == Package::kShipped ? "shipped" : "large"; }

// Each timed run starts with the files of the one before written out, so that the kernel's
// write-back of earlier runs does not land in a later one's time.
void WriteOutEarlierRuns(benchmark::State& state) {
    state.PauseTiming();
    sync();
    state.ResumeTiming();
}

void BM_Apply(benchmark::State& state, Package package) {
    const Workload& workload = WorkloadOf(package);
    std::string install = Workspace::Get().InstallFolder(std::string("apply-") + NameOf(package));
    for (auto _ : state) {
        WriteOutEarlierRuns(state);
        uint32_t result = ApplyUpdatePackageFrom(workload.updaterPath.c_str(), install.c_str());
        if (result != UPDATE_OK) {
            state.SkipWithError(("apply failed with " + std::to_string(result)).c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * workload.memberBytes));
}

// Copies every member into its own file with plain read and write calls: through one buffer
// of chunkSize bytes, or, with chunkSize 0, one read and one write per member into a buffer of
// the member's size, as the updater does it.
bool CopyMembers(const Workload& workload, const std::string& folder, size_t chunkSize) {
    int in = open(workload.updaterPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    bool ok = true;
    std::vector<uint8_t> chunk(chunkSize);
    for (const Workload::Span& member : workload.members) {
        int out = open((folder + "/" + member.name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ok = out >= 0 && lseek(in, member.position, SEEK_SET) == static_cast<off_t>(member.position);
        if (ok && chunkSize == 0) {
            std::unique_ptr<uint8_t, decltype(&std::free)> whole(static_cast<uint8_t*>(std::malloc(member.size + 1)),
                                                                 &std::free);
            ssize_t size = static_cast<ssize_t>(member.size);
            ok = whole && read(in, whole.get(), member.size) == size && write(out, whole.get(), member.size) == size;
        }
        for (uint32_t left = member.size; ok && chunkSize != 0 && left > 0;) {
            size_t piece = left < chunkSize ? left : chunkSize;
            ok = read(in, chunk.data(), piece) == static_cast<ssize_t>(piece) &&
                 write(out, chunk.data(), piece) == static_cast<ssize_t>(piece);
            left -= static_cast<uint32_t>(piece);
        }
        if (out >= 0) close(out);
        if (!ok) break;
    }
    close(in);
    return ok;
}

void BM_Copy(benchmark::State& state, Package package, size_t chunkSize) {
    const Workload& workload = WorkloadOf(package);
    std::string install =
        Workspace::Get().InstallFolder(std::string("copy-") + NameOf(package) + "-" + std::to_string(chunkSize));
    for (auto _ : state) {
        WriteOutEarlierRuns(state);
        if (!CopyMembers(workload, install, chunkSize)) {
            state.SkipWithError("copy failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * workload.memberBytes));
}

// --- Peak memory ---------------------------------------------------------------------------

// A field of /proc/self/status in KiB ("VmHWM", "VmRSS"), or -1.
long StatusKiB(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long value = -1;
    size_t length = std::strlen(field);
    while (std::fgets(line, sizeof(line), status) != nullptr) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            value = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return value;
}

// The child: the peak resident size is reset to the present one (clear_refs 5), the apply runs,
// and the peak then says how far above that baseline the apply went. Writes
// "baselineKiB peakKiB result" to resultPath.
int RunPeakChild(const char* updaterPath, const char* installFolder, const char* resultPath) {
    int clear = open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    bool reset = clear >= 0 && write(clear, "5", 1) == 1;
    if (clear >= 0) close(clear);
    long baseline = reset ? StatusKiB("VmRSS") : StatusKiB("VmHWM");
    uint32_t result = ApplyUpdatePackageFrom(updaterPath, installFolder);
    long peak = StatusKiB("VmHWM");
    FILE* out = std::fopen(resultPath, "w");
    if (out == nullptr) return 2;
    std::fprintf(out, "%ld %ld %u\n", baseline, peak, result);
    return std::fclose(out) == 0 && result == UPDATE_OK ? 0 : 1;
}

std::string OwnPath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// One apply in a fresh process; its time is not the point, the counters are: the peak above the
// process's baseline and the budget (largest member + 2 MiB) it should stay within.
void BM_PeakMemory(benchmark::State& state, Package package) {
    const Workload& workload = WorkloadOf(package);
    Workspace& workspace = Workspace::Get();
    std::string install = workspace.InstallFolder(std::string("peak-") + NameOf(package));
    std::string resultPath = workspace.folder.Join(std::string("peak-") + NameOf(package) + ".txt");
    long baseline = -1, peak = -1;
    unsigned result = 0;
    for (auto _ : state) {
        sync();
        uint32_t exitCode = test_support::RunProcess(
            {OwnPath(), kPeakChildOption, workload.updaterPath, install, resultPath}, 120000);
        Bytes text;
        if (exitCode != 0 || !test_support::ReadFileBytes(resultPath, &text)) {
            state.SkipWithError(("measuring child failed, exit code " + std::to_string(exitCode)).c_str());
            return;
        }
        text.push_back(0);
        std::sscanf(reinterpret_cast<const char*>(text.data()), "%ld %ld %u", &baseline, &peak, &result);
    }
    double above = (peak - baseline) / 1024.0;
    double budget = workload.largestMember / kMiB + kPeakAllowanceMiB;
    state.counters["baseline_MiB"] = baseline / 1024.0;
    state.counters["peak_above_MiB"] = above;
    state.counters["largest_member_MiB"] = workload.largestMember / kMiB;
    state.counters["budget_MiB"] = budget;
}

// Shows the console what it always shows, but of repeated cases only the aggregates, and keeps
// every run for the summary of the goals.
class GoalReporter : public benchmark::ConsoleReporter {
public:
    GoalReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                seconds_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
                cpuSeconds_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
                for (const auto& counter : run.counters) counters_[run.run_name.function_name][counter.first] = counter.second;
            }
            if (run.run_type == Run::RT_Aggregate || run.repetitions <= 1) shown.push_back(run);
        }
        if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
    }

    void PrintGoals() const {
        std::printf("\nGoals (best and median of the repetitions):\n");
        // The checksum is pure computation: CPU time leaves out the time other processes take.
        Compare("checksum: plain loop / UpdateChecksum", "Checksum/plain_loop", "Checksum/UpdateChecksum",
                kChecksumSpeedup, true, true);
        Compare("large: apply / copy in 1 MiB chunks", "Apply/large", "Copy/large/1MiB_chunks", kApplyOverCopy, false,
                false);
        Compare("large: apply / copy of whole members", "Apply/large", "Copy/large/whole_members", kApplyOverCopy, false,
                false);
        Compare("shipped: apply / copy in 1 MiB chunks", "Apply/shipped", "Copy/shipped/1MiB_chunks", 0, false, false);
        Compare("shipped: apply / copy of whole members", "Apply/shipped", "Copy/shipped/whole_members", 0, false, false);
        for (const char* name : {"PeakMemory/shipped", "PeakMemory/large"}) {
            auto found = counters_.find(name);
            if (found == counters_.end()) continue;
            const auto& c = found->second;
            double above = c.at("peak_above_MiB"), budget = c.at("budget_MiB");
            std::printf("  %-40s %.2f MiB above baseline, budget %.2f MiB (largest member + %.0f MiB): %s\n", name, above,
                        budget, kPeakAllowanceMiB, above <= budget ? "met" : "missed");
        }
    }

private:
    using Times = std::map<std::string, std::vector<double>>;

    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    static double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

    // The time of one case over another's, from the best and from the median runs of each, in
    // wall-clock and in CPU time; the goal, at least (atLeast) or at most that ratio, is judged
    // on the best runs in the time named by goalOnCpu. No goal when goal is 0.
    void Compare(const char* what, const std::string& numerator, const std::string& denominator, double goal,
                 bool atLeast, bool goalOnCpu) const {
        auto n = seconds_.find(numerator), d = seconds_.find(denominator);
        if (n == seconds_.end() || d == seconds_.end()) return;
        const std::vector<double>&nCpu = cpuSeconds_.at(numerator), &dCpu = cpuSeconds_.at(denominator);
        double best = Best(n->second) / Best(d->second), bestCpu = Best(nCpu) / Best(dCpu);
        std::printf("  %-40s real: best %.2fx, median %.2fx; CPU: best %.2fx, median %.2fx", what, best,
                    Median(n->second) / Median(d->second), bestCpu, Median(nCpu) / Median(dCpu));
        if (goal > 0) {
            double judged = goalOnCpu ? bestCpu : best;
            bool met = atLeast ? judged >= goal : judged <= goal;
            std::printf("; goal %s %.1fx: %s", atLeast ? ">=" : "<=", goal, met ? "met" : "missed");
        }
        std::printf("\n");
    }

    Times seconds_, cpuSeconds_;
    std::map<std::string, std::map<std::string, double>> counters_;
};

void RegisterAll() {
    using benchmark::RegisterBenchmark;
    // Short repetitions, many of them: on a shared machine the best of them is the code's speed.
    for (auto [name, routine] : {std::pair<const char*, ChecksumRoutine>{"Checksum/plain_loop", bench::PlainChecksum},
                                 {"Checksum/UpdateChecksum", UpdateChecksum}}) {
        RegisterBenchmark(name, BM_Checksum, routine)->Iterations(20)->Repetitions(100);
    }
    for (Package package : {Package::kShipped, Package::kLarge}) {
        std::string name = NameOf(package);
        bool large = package == Package::kLarge;
        auto timed = [large](benchmark::internal::Benchmark* b) {
            b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(large ? 5 : 10);
            if (large) b->Iterations(1); else b->MinTime(0.2);
        };
        timed(RegisterBenchmark(("Apply/" + name).c_str(), BM_Apply, package));
        timed(RegisterBenchmark(("Copy/" + name + "/1MiB_chunks").c_str(), BM_Copy, package, size_t{1} << 20));
        timed(RegisterBenchmark(("Copy/" + name + "/whole_members").c_str(), BM_Copy, package, size_t{0}));
    }
    for (Package package : {Package::kShipped, Package::kLarge}) {
        RegisterBenchmark((std::string("PeakMemory/") + NameOf(package)).c_str(), BM_PeakMemory, package)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], kPeakChildOption) == 0) return RunPeakChild(argv[2], argv[3], argv[4]);
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintGoals();
    benchmark::Shutdown();
    return 0;
}
