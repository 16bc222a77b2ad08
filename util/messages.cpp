#include "util/messages.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plix {

MessageState& message_state() {
  static MessageState* state = new MessageState;
  return *state;
}

void reset_message_state() { message_state() = MessageState{}; }

std::string vformat(const char* fmt, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
  return out;
}

std::string format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  return s;
}

namespace {

// One write per message keeps lines of concurrent processes apart.
void write_stderr(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // an unwritable standard error is ignored
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

void warn_text(const std::string& text) {
  int saved = errno;
  if (message_state().warn_sink)
    message_state().warn_sink(text);
  else
    write_stderr(text);
  errno = saved;
}

void warn(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  warn_text(s);
}

void fatal(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  s += '\n';
  write_stderr(s);
  std::exit(1);
}

void warnerr(const char* fmt, ...) {
  const char* sys = std::strerror(errno);
  if (fmt == nullptr || *fmt == '\0') {
    warn_text(sys);
    return;
  }
  std::string err = sys;  // strerror's buffer may be reused while formatting
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  warn_text(s + ": " + err);
}

void line_err(const char* fmt, ...) {
  const MessageState& st = message_state();
  std::string s = "Error in template file ";
  s += st.Thisfile ? *st.Thisfile : "(null)";
  if (st.Thisfield) s += ", field \"" + *st.Thisfield + "\"";
  s += ": ";
  va_list ap;
  va_start(ap, fmt);
  s += vformat(fmt, ap);
  va_end(ap);
  warn_text(s);
}

}  // namespace plix
