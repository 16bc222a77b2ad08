#include "util/messages.h"

#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
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

std::string escape_controls(std::string_view text, bool keep_newlines) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    bool control = c < 0x20 || c == 0x7f;
    if (!control || c == '\t' || (c == '\n' && keep_newlines)) {
      out += ch;
      continue;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

namespace {

// One conversion of a format, with its '*' arguments already taken.
template <typename T>
std::string convert(const std::string& spec, const int* stars, int nstars, T value) {
  switch (nstars) {
    case 0:
      return format(spec.c_str(), value);
    case 1:
      return format(spec.c_str(), stars[0], value);
    default:
      return format(spec.c_str(), stars[0], stars[1], value);
  }
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
std::string vformat_escaped(const char* fmt, va_list ap, bool keep_newlines) {
  va_list args;
  va_copy(args, ap);
  std::string out;
  for (const char* p = fmt; *p != '\0';) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    int stars[2];
    int nstars = 0;
    while (*p != '\0' && std::strchr("-+ #0'", *p) != nullptr) ++p;
    if (*p == '*') {
      stars[nstars++] = va_arg(args, int);
      ++p;
    }
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        stars[nstars++] = va_arg(args, int);
        ++p;
      }
      while (*p >= '0' && *p <= '9') ++p;
    }
    std::string len;
    while (*p != '\0' && std::strchr("hlLjzt", *p) != nullptr) len += *p++;
    if (*p == '\0') {
      out.append(start);
      break;
    }
    char conv = *p++;
    std::string spec(start, p);
    switch (conv) {
      case 'd':
      case 'i':
        if (len == "l")
          out += convert(spec, stars, nstars, va_arg(args, long));
        else if (len == "ll")
          out += convert(spec, stars, nstars, va_arg(args, long long));
        else if (len == "z")
          out += convert(spec, stars, nstars, va_arg(args, ssize_t));
        else if (len == "j")
          out += convert(spec, stars, nstars, va_arg(args, intmax_t));
        else if (len == "t")
          out += convert(spec, stars, nstars, va_arg(args, ptrdiff_t));
        else
          out += convert(spec, stars, nstars, va_arg(args, int));
        break;
      case 'u':
      case 'o':
      case 'x':
      case 'X':
        if (len == "l")
          out += convert(spec, stars, nstars, va_arg(args, unsigned long));
        else if (len == "ll")
          out += convert(spec, stars, nstars, va_arg(args, unsigned long long));
        else if (len == "z")
          out += convert(spec, stars, nstars, va_arg(args, size_t));
        else if (len == "j")
          out += convert(spec, stars, nstars, va_arg(args, uintmax_t));
        else if (len == "t")
          out += convert(spec, stars, nstars, va_arg(args, ptrdiff_t));
        else
          out += convert(spec, stars, nstars, va_arg(args, unsigned));
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        if (len == "L")
          out += convert(spec, stars, nstars, va_arg(args, long double));
        else
          out += convert(spec, stars, nstars, va_arg(args, double));
        break;
      case 'c':
        out += escape_controls(convert(spec, stars, nstars, va_arg(args, int)), keep_newlines);
        break;
      case 's': {
        const char* text = va_arg(args, const char*);
        out += escape_controls(convert(spec, stars, nstars, text ? text : "(null)"),
                               keep_newlines);
        break;
      }
      case 'p':
        out += convert(spec, stars, nstars, va_arg(args, void*));
        break;
      default:  // not a conversion the messages use: kept as written
        out += spec;
        break;
    }
  }
  va_end(args);
  return out;
}
#pragma GCC diagnostic pop

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
  std::string s = vformat_escaped(fmt, ap);
  va_end(ap);
  warn_text(s);
}

void fatal(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat_escaped(fmt, ap);
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
  std::string s = vformat_escaped(fmt, ap);
  va_end(ap);
  warn_text(s + ": " + err);
}

void line_err(const char* fmt, ...) {
  const MessageState& st = message_state();
  std::string s = "Error in template file ";
  s += st.Thisfile ? escape_controls(*st.Thisfile) : "(null)";
  if (st.Thisfield) s += ", field \"" + escape_controls(*st.Thisfield) + "\"";
  s += ": ";
  va_list ap;
  va_start(ap, fmt);
  s += vformat_escaped(fmt, ap);
  va_end(ap);
  warn_text(s);
}

}  // namespace plix
