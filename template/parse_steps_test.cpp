#include "template/parse_steps.h"

#include <gtest/gtest.h>

#include "template/logic_copy.h"
#include "template/prompts.h"
#include "util/messages.h"

namespace plix {
namespace {

PfieldArray one_field(const std::string& name, const std::string& text,
                      std::optional<std::string> states = "S") {
  PfieldArray fields = {make_pfield(name, text), make_end_marker()};
  fields[0].states = std::move(states);
  return fields;
}

void run_steps(PfieldArray& fields) {
  parse_enclosures(fields);
  parse_prompts(fields);
  parse_defaults(fields);
  parse_validation(fields);
}

// Captures what warn writes while the object lives.
class WarnCapture {
 public:
  WarnCapture() {
    text().clear();
    message_state().warn_sink = [](const std::string& t) { text() += t; };
  }
  ~WarnCapture() { message_state().warn_sink = nullptr; }
  static std::string& text() {
    static std::string* t = new std::string;
    return *t;
  }
};

TEST(ParseSteps, SeverityFieldThroughPromptsDefaultsAndValidation) {
  const std::string text = "echo 3\n\"Severity (1-5): %1d\"\noneof 1 2 3 4 5\nrequired\n";
  PfieldArray fields = one_field("Severity", text);
  parse_prompts(fields);
  EXPECT_EQ(fields[0].type, FT_INTEGER);
  parse_defaults(fields);
  parse_validation(fields);

  const pfield& f = fields[0];
  EXPECT_EQ(f.type, FT_ONEOF);
  EXPECT_EQ(f.label, "Severity (1-5): ");
  EXPECT_EQ(f.size, 1);
  EXPECT_EQ(f.length, -1);
  EXPECT_EQ(f.row, -1);
  EXPECT_EQ(f.col, -1);
  EXPECT_EQ(f.defaults, " echo 3\n");
  EXPECT_EQ(f.picklist, " oneof 1 2 3 4 5\n");
  EXPECT_EQ(f.required, " required\n");
  EXPECT_EQ(f.validation, "");
  EXPECT_FALSE(f.help);
  EXPECT_EQ(f.derivation->size(), text.size());
}

TEST(ParseSteps, FirstValueCheckAfterTheInputLineDecidesTheType) {
  const std::pair<const char*, int> cases[] = {
      {"gooddate -E\n", FT_EDATETIME},
      {"gooddate\n", FT_DATETIME},
      {"yesno\n", FT_CHECKBOX},
      {"goodusers\n", FT_USER},
      {"gooduser\noneof a b\n", FT_USER},  // no picklist: gooduser came first
      {"combobox a b\nyesno\n", FT_COMBOBOX},
      {"echo checked\n", FT_TEXT},  // nothing found: the prompt's type stays
  };
  for (const auto& [after, type] : cases) {
    PfieldArray fields = one_field("F", std::string("\"F %s\"\n") + after);
    run_steps(fields);
    SCOPED_TRACE(after);
    EXPECT_EQ(fields[0].type, type);
    if (type != FT_COMBOBOX) {
      EXPECT_FALSE(fields[0].picklist);
    }
    // Every value check is consumed, whichever decided.
    EXPECT_EQ(fields[0].validation, type == FT_TEXT ? " echo checked\n" : "");
  }
  PfieldArray some = one_field("F", "\"F %s\"\nsomeof a b\n");
  run_steps(some);
  EXPECT_EQ(some[0].type, FT_SOMEOF);
  EXPECT_EQ(some[0].picklist, " someof a b\n");
}

TEST(ParseSteps, ValueCheckBeforeTheInputDoesNotDecideButIsConsumed) {
  PfieldArray fields = one_field("F", "yesno\n\"F %s\"\ngooddate\n");
  fields[0].type = FT_NONE;
  parse_prompts(fields);
  fields[0].type = FT_SKIP;  // the flow analysis's word stands
  parse_type(fields[0]);
  EXPECT_EQ(fields[0].type, FT_SKIP);
  EXPECT_TRUE(blank_text(*fields[0].derivation));

  PfieldArray before = one_field("F", "yesno\n\"F %s\"\n");
  run_steps(before);
  EXPECT_EQ(before[0].type, FT_TEXT);
}

TEST(ParseSteps, ConditionalLogicIsSplitByKind) {
  const std::string text =
      "if equals $A x\n echo 1\nfi\n"
      "\"P %s\"\n"
      "if equals $B y\n oneof a b\nelse\n help p.help\nfi\n"
      "required\n"
      "if equals $C z\n lower\nfi\n";
  PfieldArray fields = one_field("P", text);
  run_steps(fields);
  const pfield& f = fields[0];
  EXPECT_EQ(f.type, FT_ONEOF);
  EXPECT_EQ(f.defaults, " if equals $A x\n echo 1\n fi\n");
  EXPECT_EQ(f.picklist, " if equals $B y\n oneof a b\n else\n fi\n");
  EXPECT_EQ(f.help, " if equals $B y\n else\n help p.help\n fi\n");
  EXPECT_EQ(f.required, " required\n");
  // Conditional lines before the input and emptied blocks leave no trace.
  EXPECT_EQ(f.validation, " if equals $C z\n lower\n fi\n");
}

TEST(ParseSteps, DefaultsForReachedAndSkippedFieldsOnly) {
  PfieldArray fields = {make_pfield("Calc", "echo $A\n"), make_pfield("Skipped", "echo 1\n"),
                        make_pfield("Unreached", "echo 2\n"),
                        make_pfield("NoDefaults", "\"N %s\"\nrequired\n"), make_end_marker()};
  fields[0].states = "S";
  fields[1].type = FT_SKIP;
  fields[3].states = "S";
  run_steps(fields);
  EXPECT_EQ(fields[0].type, FT_DEFAULT);
  EXPECT_EQ(fields[0].defaults, " echo $A\n");
  EXPECT_FALSE(fields[0].validation);  // no input point, no validation
  EXPECT_EQ(fields[1].type, FT_SKIP);
  EXPECT_EQ(fields[1].defaults, " echo 1\n");
  EXPECT_FALSE(fields[2].defaults);
  EXPECT_EQ(fields[3].type, FT_TEXT);
  EXPECT_FALSE(fields[3].defaults);
  EXPECT_EQ(fields[3].required, " required\n");
}

struct EnclosureCase {
  const char* name;
  const char* text;
  std::optional<std::string> label, required, defaults;
};

TEST(ParseEnclosures, DeclarationGivesTitleInitialFileAndRequired) {
  const EnclosureCase cases[] = {
      {"History", "editfile -r -i template.txt \"Change history\"\n", "Change history", "req",
       "template.txt"},
      {"related_FILE", "editfile -R Attached files\n", "Attached files", "Req", std::nullopt},
      {"Related-file", "echo \"Attachments\"  \n", "Attachments", std::nullopt, std::nullopt},
      {"Related-file", "echo Plain\neditfile -i \"a b.txt\" \"Files\"\n", "Files", std::nullopt,
       "a b.txt"},
      // Options only: no title.
      {"History", "editfile -r -i\n", std::nullopt, "req", std::nullopt},
      {"History", "editfile -i t.txt\necho later\n", std::nullopt, std::nullopt, "t.txt"},
      {"History", "editfile\n", std::nullopt, std::nullopt, std::nullopt},
      {"History", "editfile \"\"\n", std::nullopt, std::nullopt, std::nullopt},
      {"History", "", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    PfieldArray fields = one_field(c.name, c.text);
    fields[0].defaults = "stale";
    fields[0].required = "stale";
    run_steps(fields);
    const pfield& f = fields[0];
    SCOPED_TRACE(c.text);
    EXPECT_EQ(f.type, FT_ENCLOSURE);
    EXPECT_EQ(f.label, c.label);
    EXPECT_EQ(f.required, c.required);
    EXPECT_EQ(f.defaults, c.defaults);
    EXPECT_EQ(f.input_point, std::string(c.text).size());
    EXPECT_EQ(*f.derivation, c.text);  // later steps leave enclosures alone
  }
}

TEST(ParseEnclosures, WholeTextBecomesValidation) {
  PfieldArray fields = one_field("History", "if equals $A x\n editfile -r \"T\"\nfi\n");
  run_steps(fields);
  EXPECT_EQ(fields[0].validation, " if equals $A x\n editfile -r \"T\"\n fi\n");
}

TEST(ParseEnclosures, UnknownOptionIsReportedAndStartsTheTitle) {
  WarnCapture warnings;
  PfieldArray fields = one_field("History", "editfile -r -x \"T\"\nnext line\n");
  parse_enclosures(fields);
  EXPECT_EQ(WarnCapture::text(), "Unknown option to editfile: -x \"T\"\nnext line\n\n");
  EXPECT_EQ(fields[0].label, "-x \"T");
  EXPECT_EQ(fields[0].required, "req");
}

TEST(ParseEnclosures, OnlyReachedFieldsOfTheEnclosureNames) {
  PfieldArray fields = {make_pfield("History", "echo T\n"), make_pfield("Historie", "echo T\n"),
                        make_pfield("history", "echo T\n"), make_end_marker()};
  fields[1].states = "S";
  fields[2].states = "S";
  parse_enclosures(fields);
  for (int i : {0, 1, 2}) EXPECT_EQ(fields[i].type, FT_NONE) << fields[i].name;
}

TEST(ParseHelps, EveryDescriptorReachedOrNot) {
  PfieldArray fields = {make_pfield("A", "help a.help\n"), make_pfield("B", std::nullopt),
                        make_end_marker()};
  parse_helps(fields);
  EXPECT_EQ(fields[0].help, " help a.help\n");
  EXPECT_TRUE(blank_text(*fields[0].derivation));
  EXPECT_FALSE(fields[1].help);
}

}  // namespace
}  // namespace plix
