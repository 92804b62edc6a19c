// Scan and intake cost as an input folder grows: one scan of a folder holding N files, at queue
// depth 10, over real temp folders. Prints figures; it is not a test.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

using corvale::testing::ServerHarness;

double ScanMilliseconds(int files, int repeats) {
  std::vector<double> runs;
  for (int r = 0; r < repeats; ++r) {
    ServerHarness harness;
    harness.printers.Add("Pellam_Ink");
    harness.Create();
    harness.ConfigureSlot(1, "In", "Done", 10);
    std::filesystem::path in = harness.temp.Native("In");
    std::filesystem::create_directories(in);
    const auto now = std::filesystem::file_time_type::clock::now();
    for (int i = 0; i < files; ++i) {
      std::filesystem::path file = in / ("job" + std::to_string(i) + ".afp");
      std::ofstream(file) << "x";
      // Distinct times, newest first in name order, so that sorting has work to do.
      std::filesystem::last_write_time(file, now - std::chrono::seconds(2 * (files - i)));
    }
    harness.Start();
    harness.Server().Log().SetEnabled(false);  // the cost of the scan, not of the log file
    const std::string folder = harness.settings.Slots[1].InputFolder;
    auto start = std::chrono::steady_clock::now();
    harness.Server().ScanInputFolder(folder);
    auto end = std::chrono::steady_clock::now();
    if (harness.Ledger().JobsInFlight[1] != 10) std::fprintf(stderr, "took the wrong count\n");
    runs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    harness.Server().Stop();
  }
  std::sort(runs.begin(), runs.end());
  return runs[runs.size() / 2];
}

}  // namespace

int main() {
  std::printf("scan and intake of one input folder, depth 10, median of runs\n");
  std::printf("%10s %12s %18s\n", "files", "ms", "us per n*log2(n)");
  for (int files : {1000, 10000, 100000}) {
    double ms = ScanMilliseconds(files, files >= 100000 ? 1 : 3);
    double nlogn = files * std::log2(static_cast<double>(files));
    std::printf("%10d %12.2f %18.5f\n", files, ms, ms * 1000.0 / nlogn);
  }
  return 0;
}
