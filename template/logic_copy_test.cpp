#include "template/logic_copy.h"

#include <gtest/gtest.h>

namespace plix {
namespace {

pfield field_with(const std::string& text, std::optional<std::size_t> input = std::nullopt) {
  pfield f = make_pfield("F", text);
  f.input_point = input;
  return f;
}

TEST(CopyLogic, SelectsByModeKeepingConditionalLines) {
  const std::string text =
      "echo 3\n"
      "if equals $A x\n"
      "  oneof 1 2\n"
      "else\n"
      "help sev.help\n"
      "fi\n"
      "required\n"
      "goto End\n";
  pfield f = field_with(text);
  std::string out;
  copy_logic(f, out, kCopyOneof);
  EXPECT_EQ(out, " if equals $A x\n oneof 1 2\n else\n fi\n");
  copy_logic(f, out, kCopyFlow);
  EXPECT_EQ(out, " if equals $A x\n else\n fi\n goto End\n");
  copy_logic(f, out, kCopyDefaults);  // no input point: everything
  EXPECT_EQ(out.substr(0, 8), " echo 3\n");
  copy_logic(f, out, kCopyValidation);
  EXPECT_EQ(out, " if equals $A x\n else\n fi\n");
}

TEST(CopyLogic, InputPointSplitsBeforeAndAfter) {
  const std::string text = "echo 3\n\"Sev: %1d\"\noneof 1 2\nrequired\n";
  pfield f = field_with(text, text.find('%'));
  std::string out;
  copy_logic(f, out, kCopyDefaults);
  EXPECT_EQ(out, " echo 3\n \"Sev: %1d\"\n");
  copy_logic(f, out, kCopyValidation);
  EXPECT_EQ(out, " oneof 1 2\n required\n");
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
