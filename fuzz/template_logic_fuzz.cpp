// Fuzz target for the template filter logic: standardization of arbitrary
// bytes, then parse-time reduction for several states and operations, with
// records that supply values. Checks the length contract of the
// standardization; the sanitizers catch the rest.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "recstore/field_table.h"
#include "site/home.h"
#include "site/web_user.h"
#include "template/pfield.h"
#include "template/reduce.h"
#include "template/standardize.h"

namespace {

struct Setup {
  plix::FieldTable current;
  plix::FieldTable fallback;
  plix::PfieldArray fields;
  Setup() {
    // "$~" and "$@" must not look at the machine's accounts.
    plix::site_state().home = "/fuzz/home";
    plix::web_user_state().ruser_known = true;
    plix::web_user_state().ruser = "fuzzer";
    plix::addfield("Severity", "3", current);
    plix::addfield("Priority", "High", current);
    plix::addfield("Owner", "bob", fallback);
    plix::addfield("Status", "S", fallback);
    fields.push_back(plix::make_pfield("Severity", std::nullopt));
    fields.back().states = "S";
    fields.push_back(plix::make_pfield("Owner", std::nullopt));
    fields.push_back(plix::make_end_marker());
  }
};

Setup& setup() {
  static Setup* s = new Setup;
  return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Setup& s = setup();
  std::string_view text(reinterpret_cast<const char*>(data), size);

  std::string out;
  int len = plix::standardize_derivation(text, out);
  if (len != -1 && (len != static_cast<int>(out.size()) || out.size() > plix::kMaxLogicText))
    std::abort();

  // Unstandardized text must be as safe to reduce as the canonical form.
  const std::string_view source = len >= 0 ? std::string_view(out) : text;
  static constexpr struct {
    char state;
    char op;
  } kRuns[] = {{'S', 'p'}, {'N', 'm'}, {'S', 'v'}, {'A', 'f'}};
  for (const auto& run : kRuns) {
    (void)plix::reduce_logic(source, run.state, run.op, &s.fields, &s.fallback, &s.current,
                             "Severity");
  }
  (void)plix::reduce_logic(source, 'S', 'q', nullptr, nullptr, nullptr, std::nullopt);

  // The block entry points at the first line, whatever it holds.
  std::string block;
  (void)plix::standardize_logic(text, 0, block);
  (void)plix::skip_logic(text, 0);
  return 0;
}
