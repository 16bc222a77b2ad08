#include "site/identifiers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace plix {
namespace {

using namespace std::string_literals;

// Hostile names that the end-to-end tests do not pass to the programs.
TEST(Identifiers, ShapesAndSafeComponents) {
  const std::string p255(255, 'p'), p256(256, 'p');
  const struct {
    bool (*valid)(std::string_view);
    std::vector<std::string> good, bad;
  } cases[] = {
      {is_machid_shape,
       {"ABCde00042"},
       {"ABCde0004", "ABCde000421", "abCde00042", "ABCDe00042", "ABCde0004a", "ABCde00042\n",
        "ÄBCde00042"}},
      {valid_record_id,
       {"ABCde00042", "XYZab12345-imported", std::string(255, 'A')},
       {std::string(256, 'A'), "ABCde0004", "ABCde/0042", ".ABCde00042", "ABCde00042\0evil"s,
        "ABCde00042\n", "ABCde\x1b[2J0"}},
      // Only a leading dot can escape: "proj..old" is harmless.
      {valid_project_name,
       {"a", "my-proj.v2", "proj..old", p255},
       {p256, "", "..", ".hidden", "alpha/../../etc", "/etc", "alp\0ha"s, "al\rpha"}},
      {valid_class_name, {"a", "proj..old", p255}, {p256, "", "..", "/etc", "cl\0ass"s, "c\rl"}},
  };
  for (const auto& c : cases) {
    for (const auto& g : c.good) EXPECT_TRUE(c.valid(g)) << ::testing::PrintToString(g);
    for (const auto& b : c.bad) EXPECT_FALSE(c.valid(b)) << ::testing::PrintToString(b);
  }
}

}  // namespace
}  // namespace plix
