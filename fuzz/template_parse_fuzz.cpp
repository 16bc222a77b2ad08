// Fuzz target for the template parser: arbitrary bytes as a template file,
// parsed for a few state lists and every operation letter, then the search
// paths looked up. The parse must end and stay in bounds; the sanitizers
// catch the rest.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recstore/field_table.h"
#include "recstore/record_file.h"
#include "site/home.h"
#include "site/web_user.h"
#include "template/template_parse.h"
#include "util/messages.h"

namespace {

struct Setup {
  std::string path;
  plix::FieldTable record;
  Setup() {
    plix::site_state().home = "/fuzz/home";
    // Diagnostics about malformed templates are expected by the thousand.
    plix::message_state().warn_sink = [](const std::string&) {};
    plix::web_user_state().ruser_known = true;
    plix::web_user_state().ruser = "fuzzer";
    char dir[] = "/tmp/plix-template-fuzz-XXXXXX";
    if (::mkdtemp(dir) == nullptr) std::abort();
    path = std::string(dir) + "/master.tmpl";
    plix::addfield("Status", "N", record);
    plix::addfield("Severity", "3", record);
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Setup& s = setup();
  FILE* f = std::fopen(s.path.c_str(), "wb");
  if (f == nullptr) std::abort();
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  static constexpr const char* kStates[] = {"S", "NAR", ""};
  static constexpr char kOps[] = {'p', 'm', 'q', 'v', 'f'};
  for (const char* states : kStates) {
    for (char op : kOps) {
      auto fields = plix::pl_parse_template(s.path, std::string_view(states), op, &s.record,
                                            op == 'm' ? &s.record : nullptr);
      if (fields && (fields->empty() || fields->back().type != plix::FT_END)) std::abort();
      for (int kind = 0; kind < 3; ++kind)
        (void)plix::pl_get_path(kind, fields ? &*fields : nullptr, "bugs");
      plix::reset_dfile_state();
    }
  }
  return 0;
}
