#include "site/identifiers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plix {
namespace {

using namespace std::string_literals;

std::string show(const std::string& s) {
  std::string out;
  for (unsigned char c : s)
    out += c < 0x20 || c == 0x7f ? "\\x" + std::to_string(c) : std::string(1, c);
  return out.size() > 40 ? out.substr(0, 40) + "..." : out;
}

// Every good name is accepted and every bad one refused.
void check(bool (*valid)(std::string_view), const std::vector<std::string>& good,
           const std::vector<std::string>& bad) {
  for (const auto& g : good) EXPECT_TRUE(valid(g)) << show(g);
  for (const auto& b : bad) EXPECT_FALSE(valid(b)) << show(b);
}

TEST(Identifiers, MachidShapeIsThreeUpperTwoLowerFiveDigits) {
  check(is_machid_shape, {"ABCde00042"},
        {"ABCde0004", "ABCde000421", "abCde00042", "ABCDe00042", "ABCde0004a", "ABCde00042\n",
         "ÄBCde00042"});
}

TEST(Identifiers, RecordIdAcceptsAnyTenCharacterSafeComponent) {
  check(valid_record_id, {"ABCde00042", "XYZab12345-imported", std::string(255, 'A')},
        {std::string(256, 'A'), "ABCde0004", "../../../etc/passwd", "ABCde/0042", ".ABCde00042",
         "ABCde00042\0evil"s, "ABCde00042\n", "ABCde\x1b[2J0"});
}

TEST(Identifiers, ProjectAndClassNamesAreSafeComponents) {
  // Only a leading dot can escape: "proj..old" is harmless.
  std::vector<std::string> good{"a", "my-proj.v2", "proj..old", std::string(255, 'p')};
  std::vector<std::string> bad{std::string(256, 'p'), "",     "..",       ".hidden",
                               "alpha/../../etc",     "/etc", "alp\0ha"s, "al\rpha"};
  check(valid_project_name, good, bad);
  check(valid_class_name, good, bad);
}

}  // namespace
}  // namespace plix
