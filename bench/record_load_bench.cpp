// Load and extraction figures of the record store:
//   (a) a 20 MB record file whose bulk is enclosure bodies,
//   (b) a record of 2,000 plain fields.
// Reports the median load time of each, the peak RSS increase while loading
// (a), the time to extract one 5 MB enclosure, and the time to save (a).
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "recstore/enclosures.h"
#include "recstore/table_load.h"
#include "recstore/table_save.h"
#include "recstore/temp_files.h"

namespace {

constexpr int kRuns = 7;
constexpr std::size_t kEnclosureBytes = 5 * 1024 * 1024;
constexpr int kEnclosures = 4;
constexpr int kPlainFields = 2000;

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long max_rss_kb() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// Writes the 20 MB record: a few plain fields, then 4 enclosures of 5 MB in
// lines of 79 characters. Streamed, so generating costs no memory.
void write_big_record(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::fprintf(f, "Id: BENch00001\nStatus: O\nHeadline: a record with large enclosures\n");
  std::string line(78, 'x');
  for (int e = 0; e < kEnclosures; ++e) {
    std::fprintf(f, "Trace::Added by bench::dump %d\n", e);
    for (std::size_t written = 0; written < kEnclosureBytes; written += line.size() + 2) {
      line[0] = static_cast<char>('a' + (written / 80) % 26);
      std::fprintf(f, " %s\n", line.c_str());
    }
  }
  std::fprintf(f, "Closing: the end\n");
  std::fclose(f);
}

void write_wide_record(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  for (int i = 0; i < kPlainFields; ++i)
    std::fprintf(f, "Field_%04d: value of field %d\n with a second line\n", i, i);
  std::fclose(f);
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/plix-bench-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  std::string dir = tmpl;
  mkdir((dir + "/tmp").c_str(), 0700);
  setenv("PLIX_BENCH_HOME", dir.c_str(), 1);
  plix::dfile_init("PLIX_BENCH_HOME", nullptr);

  std::string big = dir + "/big";
  std::string wide = dir + "/wide";
  write_big_record(big);
  write_wide_record(wide);
  struct stat st;
  stat(big.c_str(), &st);
  std::printf("record (a): %.1f MB, %d enclosures of %.1f MB\n", st.st_size / 1048576.0,
              kEnclosures, kEnclosureBytes / 1048576.0);

  long rss_before = max_rss_kb();
  std::vector<double> big_ms;
  for (int r = 0; r < kRuns; ++r) {
    plix::FieldTable t;
    auto start = Clock::now();
    if (plix::loadtable(big, t) != 0) return 1;
    big_ms.push_back(ms_since(start));
  }
  long rss_after = max_rss_kb();

  std::vector<double> wide_ms;
  for (int r = 0; r < kRuns; ++r) {
    plix::FieldTable t;
    auto start = Clock::now();
    if (plix::loadtable(wide, t) != 0 || t.size() != kPlainFields) return 1;
    wide_ms.push_back(ms_since(start));
  }

  std::vector<double> extract_ms;
  for (int r = 0; r < kRuns; ++r) {
    plix::FieldTable t;
    plix::loadtable(big, t);
    std::size_t last = plix::findfile("Trace", "dump 3", t);
    auto start = Clock::now();
    if (!plix::fgetfile(&t[last])) return 1;
    extract_ms.push_back(ms_since(start));
  }

  std::vector<double> save_ms;
  for (int r = 0; r < 3; ++r) {
    plix::FieldTable t;
    plix::loadtable(big, t);
    auto start = Clock::now();
    if (plix::savetable(big, t) != 0) return 1;
    save_ms.push_back(ms_since(start));
  }

  std::printf("load (a) 20 MB, enclosure bodies:   median %8.2f ms of %d runs\n", median(big_ms),
              kRuns);
  std::printf("load (b) %d plain fields:         median %8.2f ms of %d runs\n", kPlainFields,
              median(wide_ms), kRuns);
  std::printf("peak RSS increase loading (a):      %ld kB (ru_maxrss %ld -> %ld kB)\n",
              rss_after - rss_before, rss_before, rss_after);
  std::printf("extract one 5 MB enclosure:         median %8.2f ms of %d runs\n",
              median(extract_ms), kRuns);
  std::printf("savetable of (a) over itself:       median %8.2f ms of 3 runs\n", median(save_ms));

  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
