// Template parse times on generated templates of 100, 300 and 1,000 fields
// (prompts, conditions, picklists, helps, a goto), for one state and for a
// path of 5 states. The parse should grow linearly with the template.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "site/home.h"
#include "site/web_user.h"
#include "template/template_parse.h"
#include "util/messages.h"

namespace {

std::string make_template(int fields) {
  std::string t = "Begin: set Help-path \"class/$Class/helps\"\n";
  for (int i = 0; i < fields; ++i) {
    std::string n = "Field" + std::to_string(i);
    t += n + ": if equals $STATE S\n   echo default" + std::to_string(i) + "\n fi\n";
    switch (i % 4) {
      case 0:
        t += " \"\\(" + std::to_string(i % 40) + ",2)" + n + ": %-20s\"\n required\n";
        break;
      case 1:
        t += " \"" + n + " (1-5): %1d\"\n oneof 1 2 3 4 5\n help sev.help\n";
        break;
      case 2:
        t += " switch $Kind\n case a b\n  oneof -f $Component.list\n default\n  oneof x y\n end\n"
             " \"" + n + ": %s\"\n";
        break;
      default:
        t += " if equals $STATE V\n  goto Field" + std::to_string(i + 2) +
             "\n fi\n \"" + n + ": %10.2f\"\n gooddate\n";
        break;
    }
  }
  return t;
}

double median_ms(const std::string& path, const char* states, int runs) {
  std::vector<double> ms;
  for (int r = 0; r < runs; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    auto fields = plix::pl_parse_template(path, std::string_view(states), 'p', nullptr, nullptr);
    auto t1 = std::chrono::steady_clock::now();
    if (!fields) {
      std::fprintf(stderr, "parse failed: %s\n", plix::pl_get_error().c_str());
      std::exit(1);
    }
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main() {
  plix::site_state().home = "/nonexistent";
  plix::web_user_state().ruser_known = true;
  plix::web_user_state().ruser = "bench";
  char dir[] = "/tmp/plix-tmpl-bench-XXXXXX";
  if (::mkdtemp(dir) == nullptr) return 1;
  std::printf("%8s %12s %14s %16s\n", "fields", "1 state ms", "5 states ms", "ms per field (5)");
  for (int n : {100, 300, 1000}) {
    std::string path = std::string(dir) + "/t" + std::to_string(n);
    std::ofstream(path) << make_template(n);
    double one = median_ms(path, "S", 15);
    double five = median_ms(path, "SNARV", 15);
    std::printf("%8d %12.2f %14.2f %16.4f\n", n, one, five, five / n);
    std::remove(path.c_str());
  }
  ::rmdir(dir);
  return 0;
}
