#include "site/identifiers.h"

#include <gtest/gtest.h>

#include <string>

namespace plix {
namespace {

using namespace std::string_literals;

struct Case {
  std::string text;
  bool ok;
};

std::string show(const std::string& s) {
  std::string out;
  for (unsigned char c : s)
    out += c < 0x20 || c == 0x7f ? "\\x" + std::to_string(c) : std::string(1, c);
  return out.size() > 40 ? out.substr(0, 40) + "..." : out;
}

TEST(Identifiers, MachidShapeIsThreeUpperTwoLowerFiveDigits) {
  const Case cases[] = {
      {"ABCde00042", true},  {"ABCde0004", false},  {"ABCde000421", false},  {"abCde00042", false},
      {"ABCDe00042", false}, {"ABCde0004a", false}, {"ABCde00042\n", false}, {"ÄBCde00042", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_machid_shape(c.text), c.ok) << show(c.text);
}

TEST(Identifiers, RecordIdAcceptsAnyTenCharacterSafeComponent) {
  const Case cases[] = {
      {"ABCde00042", true},           {"XYZab12345-imported", true}, {std::string(255, 'A'), true},
      {std::string(256, 'A'), false}, {"ABCde0004", false},          {"../../../etc/passwd", false},
      {"ABCde/0042", false},          {".ABCde00042", false},        {"ABCde00042\0evil"s, false},
      {"ABCde00042\n", false},        {"ABCde\x1b[2J0", false},
  };
  for (const auto& c : cases) EXPECT_EQ(valid_record_id(c.text), c.ok) << show(c.text);
}

TEST(Identifiers, ProjectAndClassNamesAreSafeComponents) {
  const Case cases[] = {
      {"a", true},
      {"my-proj.v2", true},
      {"proj..old", true},  // a harmless name: only a leading dot escapes
      {std::string(255, 'p'), true},
      {std::string(256, 'p'), false},
      {"", false},
      {"..", false},
      {".hidden", false},
      {"alpha/../../etc", false},
      {"/etc", false},
      {"alp\0ha"s, false},
      {"al\rpha", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(valid_project_name(c.text), c.ok) << "project " << show(c.text);
    EXPECT_EQ(valid_class_name(c.text), c.ok) << "class " << show(c.text);
  }
}

}  // namespace
}  // namespace plix
