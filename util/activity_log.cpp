#include "util/activity_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/dates.h"
#include "util/messages.h"

namespace plix {

LogState& log_state() {
  static LogState* state = new LogState;
  return *state;
}

void reset_log_state() {
  LogState& st = log_state();
  if (st.log_fd >= 0) ::close(st.log_fd);
  st = LogState{};
}

std::string timestamp() { return today(2); }

namespace {

void write_all(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void perror_to_stderr(const char* prefix) {
  write_all(STDERR_FILENO, format("%s: %s\n", prefix, std::strerror(errno)));
}

void vwritelog_line(const char* fmt, va_list ap) {
  LogState& st = log_state();
  bool must_exit = false;
  if (st.log_fd < 0) {
    std::string path = st.home_provider ? st.home_provider() : std::string();
    path += "/";
    path += Log_file;
    // Never blocks on a FIFO planted as the log, and takes no terminal.
    st.log_fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                       0664);
    struct stat sb;
    if (st.log_fd >= 0 && (::fstat(st.log_fd, &sb) != 0 || S_ISFIFO(sb.st_mode) ||
                           S_ISSOCK(sb.st_mode) || S_ISDIR(sb.st_mode))) {
      ::close(st.log_fd);
      st.log_fd = -1;
      errno = EINVAL;
    }
    if (st.log_fd < 0) {
      perror_to_stderr("Exiting: spool/LOG");
      must_exit = true;
    }
  }
  // One event, one line: a value's newline must not start a forged one.
  std::string msg = vformat_escaped(fmt, ap, false);
  std::string line = format("%-8.8s %s %s\n", st.Log_name.c_str(), timestamp().c_str(),
                            msg.c_str());
  // An unopened log (-1) fails here too, so its line still reaches stderr.
  ssize_t n;
  do {
    n = ::write(st.log_fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  if (n != static_cast<ssize_t>(line.size())) {
    perror_to_stderr("LOG FILE WRITE ERROR");
    write_all(STDERR_FILENO, line);
  }
  if (st.Log_to_tty > 0) write_all(STDERR_FILENO, line);
  if (must_exit) std::exit(1);
}

}  // namespace

void plix_writelog(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vwritelog_line(fmt, ap);
  va_end(ap);
}

void badrec(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  vwritelog_line(fmt, ap);
  va_end(ap);
  log_state().Globerr = 1;
}

void writelog(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string msg = vformat_escaped(fmt, ap);
  va_end(ap);
  // Neither program has a tool home directory: the message goes to stderr.
  write_all(STDERR_FILENO, "writelog: can't get tool Home directory!!: ");
  write_all(STDERR_FILENO, timestamp() + ": " + msg);
}

}  // namespace plix
