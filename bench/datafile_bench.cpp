// Times loading a year-sized data file (200,000 records, 14.4 MB) and appending to it,
// as the program does after each measurement. Prints the figures; asserts nothing.
//   datafile_bench [folder]   (default: the system temp folder)
#include "storage/data_file.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

MeasureRecord Sample(int i) {
    MeasureRecord r{};
    std::snprintf(r.ID, sizeof r.ID, "M%05d", i % 5000);
    std::snprintf(r.Name, sizeof r.Name, "Member %d", i % 5000);
    r.Time = 1767225600 + i * 150;
    r.Mode = static_cast<uint8_t>(i % 2);
    r.Level = static_cast<uint8_t>(i % 3);
    r.Value = 0.001f * static_cast<float>(i % 400);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    const int kRecords = 200000;
    const int kAppends = 50;
    std::filesystem::path dir =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::string path = (dir / "QuelmaBench.dat").string();

    RecordList table;
    ResetRecordTable(table);
    for (int i = 0; i < kRecords; ++i)
        AppendToTable(table, Sample(i)), GrowIfFull(table);
    if (!CreateDataFile(path.c_str()) || !WriteDataFile(path.c_str(), table)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    RecordList loaded;
    auto start = Clock::now();
    if (ReadDataFile(path.c_str(), loaded) != DataLoad::Loaded) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        return 1;
    }
    const double load = Seconds(start);

    double worstAppend = 0, totalAppend = 0;
    for (int i = 0; i < kAppends; ++i) {
        start = Clock::now();
        AppendToTable(loaded, Sample(kRecords + i));
        WriteDataFile(path.c_str(), loaded);
        GrowIfFull(loaded);
        const double t = Seconds(start);
        totalAppend += t;
        worstAppend = t > worstAppend ? t : worstAppend;
    }

    // The whole table rewritten, as after a failed write.
    loaded.savedCount = 0;
    start = Clock::now();
    WriteDataFile(path.c_str(), loaded);
    const double rewrite = Seconds(start);

    std::printf("data file: %d records, %.1f MB\n", loaded.Count(),
                (8.0 + 72.0 * loaded.Count()) / 1e6);
    std::printf("load:                  %.4f s (target < 0.2 s)\n", load);
    std::printf("append + write (mean): %.4f s over %d appends (target < 0.1 s)\n",
                totalAppend / kAppends, kAppends);
    std::printf("append + write (worst):%.4f s\n", worstAppend);
    std::printf("full rewrite:          %.4f s\n", rewrite);
    std::filesystem::remove(path);
    return 0;
}
