// Fuzz target for the form description: arbitrary bytes become the values
// of one record (split at zero bytes, which no record can hold), the record
// is stored in a small database home, and layoutgen's modify and display
// forms are written for it. Whatever the values hold (separator bytes,
// "&#028;" references, newlines), the form must parse into as many records,
// each with as many keys, as the form of the same record with those bytes
// made harmless. The sanitizers catch the rest.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "layoutgen/default_values.h"
#include "layoutgen/form_output.h"
#include "layoutgen/form_setup.h"
#include "layoutgen/layoutgen.h"
#include "recstore/enclosures.h"
#include "recstore/record_file.h"
#include "recstore/table_save.h"
#include "recstore/temp_files.h"
#include "site/home.h"
#include "site/web_user.h"
#include "util/messages.h"

namespace {

// A field of each kind the form writer treats apart: text, picklist,
// view-only text showing the stored value, group definition, enclosure.
const char* const kTemplate =
    "Begin: set Help-path \"class/$Class/helps\"\n"
    " set Oneof-path \"class/$Class/oneofs\"\n"
    "Summary: set group_fields Headline, Priority:2, Nothing\n"
    " \"Summary\"\n"
    "Headline: \"Headline: %-60.80s\"\n"
    " required\n"
    "Priority: \"Priority: %s\"\n"
    " oneof low medium \"very high\"\n"
    "Notice: \"Reported by: $$\"\n"
    "Description: \"Description: %s\"\n"
    "Related-file: editfile -r \"Log\"\n"
    "Status: \"Status: %s\"\n";

const char* const kRecordId = "ABCde00001";
// The fields the input's pieces go to, in order; the last is the body of
// the enclosure "Log".
const char* const kValueFields[] = {"Headline", "Priority", "Notice", "Description"};
constexpr std::size_t kPieces = std::size(kValueFields) + 1;

void check(bool ok, const char* what = nullptr) {
  if (ok) return;
  if (what != nullptr) std::fprintf(stderr, "form_description_fuzz: %s\n", what);
  __builtin_trap();
}

bool is_separator(int byte) {
  return byte == plix::kFS || byte == plix::kRS;
}

void write_text(const std::string& path, std::string_view text) {
  FILE* f = std::fopen(path.c_str(), "we");
  check(f != nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  check(std::fclose(f) == 0);
}

struct Setup;
Setup& setup();

struct Setup {
  std::string home;
  Setup() {
    // Every input stores four records: in memory when the system has a
    // memory file system, several times faster than on disk.
    struct stat shm;
    bool in_memory = ::stat("/dev/shm", &shm) == 0 && S_ISDIR(shm.st_mode);
    std::string dir = std::string(in_memory ? "/dev/shm" : "/tmp") + "/plix-form-fuzz-XXXXXX";
    check(::mkdtemp(dir.data()) != nullptr);
    home = dir;
    for (const char* sub : {"allbugs", "allbugs/01", "class", "class/bugs", "conf", "etc",
                            "proj.info", "projects", "projects/alpha", "spool", "tmp"})
      check(::mkdir((home + "/" + sub).c_str(), 0700) == 0);
    write_text(home + "/class/bugs/master.tmpl", kTemplate);
    write_text(home + "/proj.info/alpha", "Class: bugs\nProj-status: active\n");
    // The home is set without a password lookup: no "plix" account needed.
    plix::site_state().home = home;
    ::setenv("PLIXHOME", home.c_str(), 1);
    plix::web_user_state().ruser_known = true;
    plix::web_user_state().ruser = "fuzzer";
    // Gone at a normal end; after a crash it stays for a look.
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(setup().home, ignored);
    });
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

// What the layoutgen run changes in process-wide state, back to a fresh start.
void reset_run_state() {
  plix::reset_dfile_state();
  plix::reset_default_value_state();
  plix::dfile_state().sleep_fn = [](unsigned) { return 0u; };
  plix::message_state().warn_sink = [](const std::string&) {};
  check(plix::dfile_init("PLIXHOME", nullptr) == 1);
}

void store_record(const Setup& s, const std::vector<std::string>& pieces) {
  plix::FieldTable t;
  plix::addfield("Project", "alpha", t);
  plix::addfield("Status", "N", t);
  for (std::size_t i = 0; i < pieces.size() && i < std::size(kValueFields); ++i)
    plix::addfield(kValueFields[i], pieces[i], t);
  if (pieces.size() == kPieces) {
    std::string body = s.home + "/tmp/body";
    write_text(body, pieces.back());
    // Taken over by the table, which removes it.
    check(plix::addfile("Related-file", "Log", "Added 2004-03-11 by bob", body, t, 3).has_value());
  }
  check(plix::savetable(plix::bugpath(kRecordId), t) == 0);
}

// The form description of the stored record for an action, as layoutgen
// prints it; nullopt when the run stops before the form.
std::optional<std::string> describe(const char* action) {
  plix::LayoutgenRun run;
  run.opts.action = action;
  run.opts.id = kRecordId;
  run.action = plix::find_action(action);
  run.template_file = run.action->template_file;
  if (plix::set_up_form(run, "layoutgen") >= 0) return std::nullopt;
  char* bytes = nullptr;
  std::size_t size = 0;
  FILE* mem = ::open_memstream(&bytes, &size);
  check(mem != nullptr);
  const std::string header = plix::script_header(run.browser_type);
  std::fwrite(header.data(), 1, header.size(), mem);
  int status = plix::write_form(run, mem);
  std::fclose(mem);
  std::string out(bytes, size);
  std::free(bytes);
  check(status == 0);
  return out;
}

// Keys per record; nullopt when the bytes are not a form description: a
// separator not followed by a newline, a key without its value, or bytes
// after the last record.
std::optional<std::vector<std::size_t>> structure(std::string_view out) {
  std::vector<std::size_t> keys;
  std::size_t items = 0, end = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (!is_separator(out[i])) continue;
    if (i + 1 == out.size() || out[i + 1] != '\n') return std::nullopt;
    if (out[i] == plix::kFS) {
      ++items;
    } else {
      if (items % 2 != 0) return std::nullopt;
      keys.push_back(items / 2);
      items = 0;
      end = i + 2;
    }
    ++i;
  }
  if (end != out.size()) return std::nullopt;
  return keys;
}

struct Shape {
  std::optional<std::vector<std::size_t>> modify, display;
  bool modify_ran, display_ran;
};

Shape shape_of(const Setup& s, const std::vector<std::string>& pieces) {
  reset_run_state();
  store_record(s, pieces);
  std::optional<std::string> modify = describe("modify");
  std::optional<std::string> display = describe("display");
  Shape shape{std::nullopt, std::nullopt, modify.has_value(), display.has_value()};
  if (modify) shape.modify = structure(*modify);
  if (display) shape.display = structure(*display);
  return shape;
}

// The same text with every separator byte, and every "&#NNN;" reference to
// one, moved to the next byte value (0x1D, 0x1F: as inert as any control
// byte). Nothing else changes, so the record loads, the template parses and
// empty values stay empty alike.
std::string harmless(std::string text) {
  auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_separator(text[i])) {
      ++text[i];
    } else if (text[i] == '&' && i + 5 < text.size() && text[i + 1] == '#' && digit(i + 2) &&
               digit(i + 3) && digit(i + 4) && text[i + 5] == ';') {
      int n = (text[i + 2] - '0') * 100 + (text[i + 3] - '0') * 10 + (text[i + 4] - '0');
      if (is_separator(n % 256)) ++text[i + 4];  // none of those numbers ends in 9
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Setup& s = setup();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces, plain;
  for (std::size_t at = 0; pieces.size() < kPieces && at <= input.size();) {
    std::size_t zero = input.find('\0', at);
    if (zero == std::string_view::npos) zero = input.size();
    pieces.emplace_back(input.substr(at, zero - at));
    plain.push_back(harmless(pieces.back()));
    at = zero + 1;
  }

  Shape want = shape_of(s, plain);
  Shape got = shape_of(s, pieces);
  // The harmless form is well formed whenever it was written at all.
  check(!want.modify_ran || want.modify.has_value(), "modify form of harmless values malformed");
  check(!want.display_ran || want.display.has_value(), "display form of harmless values malformed");
  check(got.modify_ran == want.modify_ran && got.modify == want.modify,
        "modify form: record values changed the records or keys");
  check(got.display_ran == want.display_ran && got.display == want.display,
        "display form: record values changed the records or keys");
  reset_run_state();
  return 0;
}
