// Feeds arbitrary bytes to the record reader and the loader: load (merging
// and appending), walk the file with dread/dgnitem/dfind, extract every
// enclosure, and save what loaded and load it again, which must give the
// same table. Nothing may crash, hang, leak or disagree.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "recstore/enclosures.h"
#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "recstore/table_save.h"
#include "recstore/temp_files.h"
#include "util/messages.h"

namespace {

const std::string& work_dir() {
  static const std::string* dir = [] {
    char tmpl[] = "/tmp/plix-fuzz-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) std::abort();
    std::string d = tmpl;
    std::string tmp = d + "/tmp";
    if (::mkdir(tmp.c_str(), 0700) != 0) std::abort();
    ::setenv("PLIX_FUZZ_HOME", d.c_str(), 1);
    return new std::string(d);
  }();
  return *dir;
}

void check(bool ok) {
  if (!ok) __builtin_trap();
}

std::optional<std::string> text_of(plix::Field& f) {
  std::optional<std::string> p = f.owns_file ? f.path : plix::fgetfile(&f);
  if (!p) return std::nullopt;
  std::string s;
  if (std::FILE* in = std::fopen(p->c_str(), "re")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) s.append(buf, n);
    std::fclose(in);
  }
  return s;
}

void walk(const std::string& path) {
  plix::DfileBlock* b = plix::dopen(path.c_str(), "r");
  if (b == nullptr) return;
  char buf[300];
  char item[16];
  for (int i = 0; i < 10000; ++i) {
    int rc = plix::dread(b, buf, i % 3 == 2 ? -static_cast<long>(sizeof buf) : sizeof buf);
    if (rc == 0) break;
    if (rc == 1) {
      while (plix::dgnitem(b, item, sizeof item) != -13) {
        if (plix::dgnitem(b, item, sizeof item) == -4) break;
      }
      if (b->enclosure) {
        std::optional<std::string> out = plix::dgetfile(b, std::nullopt);
        if (out) ::unlink(out->c_str());
      }
    } else if (rc == -4 || rc == -2) {
      plix::dread(b, buf, 0);  // move past
    } else if (rc != 3) {
      break;
    }
  }
  plix::dclose(b, 2);
  b = plix::dopen(path.c_str(), "r");
  if (b != nullptr) {
    plix::dfind(b, "Trace", buf, sizeof buf);
    plix::dclose(b, 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& dir = work_dir();
  plix::reset_dfile_state();
  plix::dfile_state().sleep_fn = [](unsigned) { return 0u; };
  plix::message_state().warn_sink = [](const std::string&) {};
  plix::dfile_init("PLIX_FUZZ_HOME", nullptr);

  std::string rec = dir + "/rec";
  std::string out = dir + "/out";
  if (std::FILE* f = std::fopen(rec.c_str(), "we")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  {
    plix::FieldTable merged;
    plix::loadtable(rec, merged);
  }
  walk(rec);

  plix::FieldTable t;
  if (plix::appendtable(rec, t) == 0) {
    std::vector<std::optional<std::string>> texts;
    for (auto& e : t.entries()) texts.push_back(e->has_file ? text_of(*e) : std::nullopt);
    if (plix::savetable(out, t) == 0) {
      plix::FieldTable back;
      check(plix::appendtable(out, back) == 0);
      check(back.size() == t.size());
      for (std::size_t i = 0; i < t.size(); ++i) {
        check(back[i].name == t[i].name);
        check(back[i].value == t[i].value);
        check(back[i].has_file == t[i].has_file);
        if (!t[i].has_file) continue;
        check(back[i].stamp == t[i].stamp);
        std::optional<std::string> again = text_of(back[i]);
        check(again.has_value() && texts[i].has_value());
        // A text whose last line lacked its newline comes back with one.
        check(*again == *texts[i] || *again == *texts[i] + "\n");
      }
    }
  }
  plix::reset_dfile_state();
  return 0;
}
