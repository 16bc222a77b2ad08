#include "site/startup.h"

#include <signal.h>
#include <unistd.h>

#include "recstore/record_file.h"
#include "recstore/table_load.h"
#include "recstore/temp_files.h"
#include "site/home.h"
#include "site/web_user.h"
#include "util/limits.h"

namespace plix {

namespace {

constexpr int kTerminatingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE};

void on_terminating_signal(int sig) {
  unlink_temp_files();
  ::signal(sig, SIG_DFL);
  ::raise(sig);  // delivered with its usual effect once the handler returns
}

}  // namespace

void clean_up_on_signals() {
  struct sigaction sa = {};
  sa.sa_handler = on_terminating_signal;
  sigemptyset(&sa.sa_mask);
  for (int sig : kTerminatingSignals) {
    struct sigaction old;
    // A signal the caller made us ignore stays ignored.
    if (::sigaction(sig, &sa, &old) == 0 && old.sa_handler == SIG_IGN)
      ::sigaction(sig, &old, nullptr);
  }
}

void program_start(const char* prog) {
  set_prog_name(prog != nullptr ? prog : "");
  getroot();  // ends the run when the database account is missing
  dfile_state().Load_related_files = false;
  http_init();
  dfile_init("PLIXHOME", "plix");
  clean_up_on_signals();
}

std::unique_ptr<FieldTable> load_record(std::string_view id) {
  auto table = std::make_unique<FieldTable>(kTableSlots);
  std::string path = bugpath(id);
  for (int attempt = 0; attempt < kLoadRecordAttempts; ++attempt) {
    if (loadtable(path, *table) == 0) return table;
    freefields(*table);
    ::sleep(1);  // the record may be being rewritten
  }
  return nullptr;
}

}  // namespace plix
