#include "template/logic_copy.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

// The split at an input point is pinned by the parse steps' tests.
TEST(CopyLogic, SelectsByModeKeepingConditionalLines) {
  pfield f = make_pfield("F",
                         "echo 3\nif equals $A x\n  oneof 1 2\nelse\nhelp sev.help\nfi\n"
                         "required\ngoto End\n");
  const std::pair<int, const char*> cases[] = {
      {kCopyOneof, " if equals $A x\n oneof 1 2\n else\n fi\n"},
      {kCopyFlow, " if equals $A x\n else\n fi\n goto End\n"},
      {kCopyValidation, " if equals $A x\n else\n fi\n"},  // no input point: nothing after it
      {kCopyDefaults,
       " echo 3\n if equals $A x\n oneof 1 2\n else\n help sev.help\n fi\n"
       " required\n goto End\n"},  // ... and everything before it
  };
  for (const auto& [mode, want] : cases) {
    std::string out = "stale";
    copy_logic(f, out, mode);
    EXPECT_EQ(out, want) << mode;
  }
}

TEST(RemoveEmptyLogic, DropsBlocksWithoutContentInnermostFirst) {
  std::string t = "if a\nif b\nelse\nfi\nfi\nx\n";
  remove_empty_logic(t);
  EXPECT_TRUE(blank_text(t.substr(0, t.find('x'))));
  EXPECT_EQ(t.substr(t.find('x')), "x\n");

  std::string kept = "if a\n y\nelif b\nfi\n";
  remove_empty_logic(kept);
  EXPECT_EQ(kept, "if a\n y\nelif b\nfi\n");

  std::string stray = "fi\nif a\n";
  remove_empty_logic(stray);
  EXPECT_EQ(stray, "fi\nif a\n");
}

}  // namespace
}  // namespace plix
