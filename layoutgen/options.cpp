#include "layoutgen/options.h"

#include <unistd.h>

#include <cstdlib>

#include "util/messages.h"

namespace plix {

namespace {

// Stores an option's argument; false when the option was given before.
bool set_once(std::optional<std::string>& slot, const char* arg) {
  if (slot) return false;
  slot = arg;
  return true;
}

}  // namespace

bool parse_options(int argc, char** argv, LayoutgenOptions& opts) {
  optind = 0;  // full re-initialisation of glibc's scanner
  opterr = 1;
  int c;
  while ((c = ::getopt(argc, argv, "a:c:p:i:s:vmb:")) != -1) {
    switch (c) {
      case 'a':
        if (!set_once(opts.action, optarg)) return false;
        break;
      case 'c':
        if (opts.id || !set_once(opts.klass, optarg)) return false;
        break;
      case 'p':
        if (opts.id || !set_once(opts.project, optarg)) return false;
        break;
      case 'i':
        if (opts.klass || opts.project || !set_once(opts.id, optarg)) return false;
        break;
      case 's':
        if (!set_once(opts.state, optarg)) return false;
        break;
      case 'v':
        opts.verbose = true;
        break;
      case 'm':
        opts.browser = BROWSER_MOZILLA4;
        break;
      case 'b':
        opts.browser = browser_from_name(optarg);
        if (opts.browser == BROWSER_UNKNOWN) warn("Unknown browser type %s.\n", optarg);
        break;
      default:
        return false;
    }
  }
  return true;
}

std::string usage_text(const char* prog) {
  static constexpr const char* kLines[] = {
      "Usage:\n",
      "%s -a submit {-c <class> | -p <project>} [-v] [-m] [-b <browser>]\n",
      "%s -a query -c <class> [-v] [-b <browser>]\n",
      "%s -a display [ -t <template> ] -i <bugid> [-v] [-b <browser>]\n",
      "%s -a modify -i <bugid> [-v] [-m] [-b <browser>]\n",
      "%s -a clone -i <bugid> [-v] [-m] [-b <browser>]\n",
      "%s -a add_enclosure [ -t <template> ] -i <bugid> [-v] [-b <browser>]\n",
      "%s -a transition -i <bugid> -s <state> [-v] [-m] [-b <browser>]\n",
      "\t-a <action> is the action being performed\n",
      "\t-i <bugid> is the bug identifier \n",
      "\t-s <state> is the state you're going to\n",
      "\t-c <class> is the class for this bug\n",
      "\t-p <project> is the project for this bug\n",
      "\t-v enables a verbose mode that makes the output more readable for humans\n",
      "\t-m enables 'Mozilla' mode and outputs JavaScript for dependent picklists.\n",
      "\t-b <browser> enables 'MSIE', 'Netscape', 'Netscape7'\n",
  };
  std::string text;
  for (const char* line : kLines) {
    std::string_view l(line);
    auto at = l.find("%s");
    if (at == std::string_view::npos) {
      text += l;
    } else {
      text += l.substr(0, at);
      text += prog;
      text += l.substr(at + 2);
    }
  }
  return text;
}

void usage_exit(const char* prog) {
  warn_text(usage_text(prog));
  std::exit(1);
}

}  // namespace plix
