#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plix::test {

std::vector<std::string> base_environment() {
  std::vector<std::string> env;
  for (const char* name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TZ"}) {
    if (const char* v = std::getenv(name)) env.push_back(std::string(name) + "=" + v);
  }
  return env;
}

ProcessResult run_process(const std::vector<std::string>& argv, std::vector<std::string> env) {
  ProcessOptions opts;
  opts.env = std::move(env);
  return run_process(argv, opts);
}

namespace {

std::vector<char*> c_strings(const std::vector<std::string>& v) {
  std::vector<char*> out;
  for (const auto& s : v) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

void set_nonblock(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& opts) {
  ProcessResult r;
  ::signal(SIGPIPE, SIG_IGN);  // a child that stops reading must not kill the test
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
      ::pipe2(err, O_CLOEXEC) != 0) {
    r.err = std::string("pipe: ") + std::strerror(errno);
    return r;
  }
  auto args = c_strings(argv);
  auto envp = c_strings(opts.env);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    if (!opts.cwd.empty() && ::chdir(opts.cwd.c_str()) != 0) ::_exit(126);
    if (opts.file_size_limit > 0) {
      // A full disk, as the child sees it: writes past the limit fail with EFBIG.
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit rl = {opts.file_size_limit, opts.file_size_limit};
      if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(126);
    }
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (pid < 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    r.err = std::string("fork: ") + std::strerror(errno);
    return r;
  }
  set_nonblock(in[1]);
  set_nonblock(out[0]);
  set_nonblock(err[0]);
  std::size_t written = 0;
  int in_fd = in[1];
  if (opts.stdin_text.empty()) {
    ::close(in_fd);
    in_fd = -1;
  }
  auto deadline = std::chrono::steady_clock::now() + opts.timeout;
  int open_outputs = 2;
  int out_fd = out[0], err_fd = err[0];
  while (open_outputs > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      r.timed_out = true;
      ::kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}, {in_fd, POLLOUT, 0}};
    int n = ::poll(fds, 3, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) break;
    char buf[65536];
    for (int i = 0; i < 2; ++i) {
      int& fd = i == 0 ? out_fd : err_fd;
      if (fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t got = ::read(fd, buf, sizeof buf);
      if (got > 0) {
        (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(got));
      } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        ::close(fd);
        fd = -1;
        --open_outputs;
      }
    }
    if (in_fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t w = ::write(in_fd, opts.stdin_text.data() + written,
                          opts.stdin_text.size() - written);
      if (w > 0) written += static_cast<std::size_t>(w);
      if (w < 0 || written == opts.stdin_text.size()) {
        ::close(in_fd);
        in_fd = -1;
      }
    }
  }
  for (int fd : {out_fd, err_fd, in_fd})
    if (fd >= 0) ::close(fd);
  int wstatus = 0;
  struct rusage usage = {};
  while (::wait4(pid, &wstatus, 0, &usage) < 0 && errno == EINTR) {
  }
  r.max_rss_kb = usage.ru_maxrss;
  if (WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  else if (WIFSIGNALED(wstatus))
    r.status = 128 + WTERMSIG(wstatus);
  return r;
}

}  // namespace plix::test
