// layoutgen against a home and records that someone careless or hostile has
// touched: FIFOs and devices in place of files, values that hold the
// description's separators, a full disk, unusable state tables, huge values
// and control characters. The run must end, say why and never lie.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "tests/support/fake_users.h"
#include "tests/support/process.h"
#include "tests/support/temp_home.h"

namespace plix::test {
namespace {

const std::string kProg = PLIX_BINARY_DIR "/layoutgen";

// AddressSanitizer's own memory makes peak sizes meaningless.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
const char* kId = "ABCde00001";

const char* kTemplate =
    "Headline: \"Headline: %60.80s\"\n"
    " required\n"
    "Severity: \"%s\"\n"
    " oneof -f severities\n"
    "Notice: \"Read this: $$\"\n"
    "Related-file: editfile -r \"Log\"\n";

// The number of keys of each record of a description: what a reader of the
// description sees of its structure.
std::vector<int> structure(const std::string& out) {
  std::vector<int> keys;
  int fields = 0;
  for (std::size_t i = 0; i + 1 < out.size(); ++i) {
    if (out[i] == '\x1c' && out[i + 1] == '\n') ++fields;
    if (out[i] == '\x1e' && out[i + 1] == '\n') {
      keys.push_back(fields);
      fields = 0;
    }
  }
  return keys;
}

class LayoutgenHostile : public ::testing::Test {
 protected:
  void SetUp() override {
    users_.add_user("plix", 4242, home_.path());
    users_.current_user_as("www");
    home_.klass("bugs")
        .tmpl(kTemplate)
        .file("statenames", "S s new\nN o new\nA o assigned\n")
        .file("states", "S N N\nN A A\nA N N\n")
        .file("oneofs/severities", "1\n2\n3\n");
    home_.project("alpha", "bugs", "Proj-status: active\nPath-to-owner: ABCde\n")
        .file("etc/oneofs/bugs.C", "alpha\n")
        .file("etc/cache_conf", "Headline: yes\nSeverity: yes\nStatus: yes\n")
        .file("etc/plixrc", "View-closed-projects: no\n")
        .file("conf/def.seq", "Machid: ABCde00100\n")
        .file("conf/http_user", "www\n")
        .file("dbms/plix/.schema", "headline char(80)\n");
    record("Headline: x\n");
  }

  void record(const std::string& extra) {
    home_.record(kId, "Project: alpha\nStatus: N\nNotice: n\n" + extra +
                          "Related-file: Log\n first line\n second line\n");
  }

  ProcessResult run(const std::vector<std::string>& args, ProcessOptions opts = {}) {
    return run_as(users_, kProg, args, {}, opts);
  }

  std::vector<std::string> tmp_files() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir((home_ / "tmp").c_str())) {
      while (struct dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      ::closedir(d);
    }
    return names;
  }

  TempHome home_;
  FakeUsers users_;
};

const std::vector<std::vector<std::string>> kActions = {
    {"-a", "submit", "-c", "bugs"},
    {"-a", "modify", "-i", kId},
    {"-a", "transition", "-i", kId, "-s", "A"},
    {"-a", "query", "-c", "bugs"},
};

// Every file layoutgen reads, replaced by a FIFO (which would block an
// open) or by /dev/zero (which never ends): each run ends, in time.
class LayoutgenPlantedFile : public LayoutgenHostile,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(LayoutgenPlantedFile, NeverHangs) {
  const std::string rel = GetParam();
  for (const char* kind : {"fifo", "/dev/zero", "dir"}) {
    SCOPED_TRACE(kind);
    std::string path = home_ / rel;
    ::unlink(path.c_str());
    ::rmdir(path.c_str());
    int made = std::string(kind) == "fifo" ? ::mkfifo(path.c_str(), 0644)
               : std::string(kind) == "dir" ? ::mkdir(path.c_str(), 0755)
                                             : ::symlink(kind, path.c_str());
    ASSERT_EQ(made, 0);
    for (const auto& args : kActions) {
      ProcessOptions opts;
      opts.timeout = std::chrono::seconds(15);
      ProcessResult r = run(args, opts);
      EXPECT_FALSE(r.timed_out) << args[1];
      EXPECT_LT(r.status, 128) << args[1] << ": " << r.err;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFileRead, LayoutgenPlantedFile,
                         ::testing::Values("allbugs/01/ABCde00001", "proj.info/alpha",
                                           "class/bugs/master.tmpl", "class/bugs/states",
                                           "class/bugs/statenames", "class/bugs/oneofs/severities",
                                           "etc/cache_conf", "etc/plixrc", "etc/oneofs/bugs.C",
                                           "conf/http_user", "conf/def.seq", "dbms/plix/.schema",
                                           "spool/LOG"));

TEST_F(LayoutgenHostile, ValuesCannotInjectRecords) {
  ProcessResult plain = run({"-a", "modify", "-i", kId});
  ASSERT_EQ(plain.status, 0) << plain.err;
  // References to the separators (also modulo 256), the raw bytes, in a
  // field value, a view-only value and picklist values.
  const std::string evil = "a&#028;b&#030;c\x1c\x1e\n d&#284;script\x1c\n";
  record("Headline: " + evil + "\n");
  home_.file("class/bugs/oneofs/severities", "1\n2&#030;\n3\x1e\n");
  ProcessResult r = run({"-a", "modify", "-i", kId});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(structure(r.out), structure(plain.out));
  EXPECT_NE(r.out.find("a&#028;b&#030;c\n d&#284;script\n"), std::string::npos);
  EXPECT_NE(r.out.find("1\n2&#030;\n3\x1c\n"), std::string::npos);
}

TEST_F(LayoutgenHostile, RecordValuesStayDataInTheTemplate) {
  // Shown in a view-only prompt, a value is not a conversion, an escape, a
  // variable, the prompt's end, nor a line of commands of its own.
  home_.record(kId, "Project: alpha\nStatus: N\nNotice: 50%.a \"q\" \\101 $HOME\n  goto x\n");
  ProcessResult r = run({"-a", "display", "-i", kId});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string shown = "Read this: 50%.a \"q\" \\101 $HOME   goto x";
  EXPECT_NE(r.out.find("name\x1c\nNotice\x1c\ntype\x1c\nFT_VIEWONLY\x1c\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("default\x1c\n" + shown + "\x1c\nvalue\x1c\n" + shown), std::string::npos)
      << r.out;
}

TEST_F(LayoutgenHostile, EnclosureTextsAreRemovedAndAFailedOneFailsTheRun) {
  ProcessResult r = run({"-a", "modify", "-i", kId});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("first line\nsecond line\n"), std::string::npos);
  EXPECT_EQ(tmp_files(), std::vector<std::string>{});

  // A full disk while the text is extracted: no form that silently lacks it.
  std::string body;
  for (int i = 0; i < 400; ++i) body += " line " + std::to_string(i) + "\n";
  home_.record(kId, "Project: alpha\nStatus: N\nRelated-file: Log\n" + body);
  ProcessOptions full;
  full.file_size_limit = 1024;
  r = run({"-a", "modify", "-i", kId}, full);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("INTERNAL ERROR: extracting file \"Related-file\" title \"Log\""),
            std::string::npos)
      << r.err;
  EXPECT_EQ(tmp_files(), std::vector<std::string>{});
}

TEST_F(LayoutgenHostile, TransitionNeedsAUsableStateTable) {
  const std::string states = home_ / "class/bugs/states";
  struct Case {
    const char* text;  // null: no file
    int status;
    std::string err;
  } cases[] = {
      {nullptr, 3, states + ": No such file or directory"},
      {"S N\n", 3, states + ": badly formatted state table\n"},
      {"N A A\nS N\n", 0, states + ": badly formatted state table\n"},  // N->A still routes
      {"# no routes\n", 0, ""},                                          // a form without steps
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    ::unlink(states.c_str());
    if (c.text) home_.file("class/bugs/states", c.text);
    ProcessResult r = run({"-a", "transition", "-i", kId, "-s", "A"});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    if (c.status != 0) {
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST_F(LayoutgenHostile, HugeValuesAreRefusedAndLargeOnesCostLittleMemory) {
  const std::size_t big = 12u << 20;
  record("Headline: " + std::string(big, 'h') + "\n");
  ProcessResult r = run({"-a", "modify", "-i", kId});
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 200);
  EXPECT_GT(r.out.size(), 2 * big);  // default and value
  if (!kSanitized) {
    EXPECT_LT(r.max_rss_kb * 1024L, static_cast<long>(4 * big + (16u << 20)));
  }

  record("Headline: " + std::string(17u << 20, 'h') + "\n");
  r = run({"-a", "modify", "-i", kId});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find(": an entry is larger than 16777216 bytes\n"), std::string::npos);
  EXPECT_NE(r.err.find("Invalid record id: ABCde00001\n"), std::string::npos);
}

TEST_F(LayoutgenHostile, ControlCharactersInMessagesAreEscaped) {
  home_.record(kId, "Project: al\x1b[2Jpha\r\nStatus: N\n");
  ProcessResult r = run({"-a", "modify", "-i", kId});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("Bad project 'al\\x1b[2Jpha\\x0d' in defect\n", 0), 0u) << r.err;
}

}  // namespace
}  // namespace plix::test
