#include "template/parse_steps.h"

#include <gtest/gtest.h>

#include <tuple>

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

TEST(ParseSteps, FirstValueCheckAfterTheInputLineDecidesTheType) {
  struct Case {
    const char* after;
    int type;
    std::optional<std::string> picklist;
  } cases[] = {
      {"gooddate -E\n", FT_EDATETIME, std::nullopt},
      {"gooddate\n", FT_DATETIME, std::nullopt},
      {"yesno\n", FT_CHECKBOX, std::nullopt},
      {"goodusers\n", FT_USER, std::nullopt},
      {"gooduser\noneof a b\n", FT_USER, std::nullopt},  // no picklist: gooduser came first
      {"combobox a b\nyesno\n", FT_COMBOBOX, " combobox a b\n"},
      {"someof a b\n", FT_SOMEOF, " someof a b\n"},
      // Nothing found (a command word counts only at a line's start): the prompt's type stays.
      {"echo oneof x\n", FT_TEXT, std::nullopt},
  };
  for (const auto& c : cases) {
    PfieldArray fields = one_field("F", std::string("\"F %s\"\n") + c.after);
    run_steps(fields);
    // Every value check is consumed, whichever decided.
    const std::optional<std::string> validation = c.type == FT_TEXT ? " echo oneof x\n" : "";
    EXPECT_EQ(std::tie(fields[0].type, fields[0].picklist, fields[0].validation),
              std::tie(c.type, c.picklist, validation))
        << c.after;
  }
}

TEST(ParseSteps, ValueCheckBeforeTheInputDoesNotDecideButIsConsumed) {
  PfieldArray before = one_field("F", "yesno\n\"F %s\"\n");
  run_steps(before);
  EXPECT_EQ(before[0].type, FT_TEXT);
  // Nor does one after it when the flow analysis skips the field.
  PfieldArray skipped = one_field("F", "yesno\n\"F %s\"\ngooddate\n");
  parse_prompts(skipped);
  skipped[0].type = FT_SKIP;
  parse_type(skipped[0]);
  EXPECT_EQ(skipped[0].type, FT_SKIP);
  EXPECT_TRUE(blank_text(*skipped[0].derivation));
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
                        make_pfield("Unreached", "echo 2\n\"U %s\"\n"),
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
  EXPECT_FALSE(fields[2].label);  // no step looks at it
  EXPECT_EQ(fields[2].type, FT_NONE);
  EXPECT_EQ(fields[3].type, FT_TEXT);
  EXPECT_FALSE(fields[3].defaults);
  EXPECT_EQ(fields[3].required, " required\n");
}

TEST(ParseEnclosures, DeclarationGivesTitleInitialFileAndRequired) {
  // name, text, then label, required and defaults.
  using Opt = std::optional<std::string>;
  const std::tuple<const char*, const char*, Opt, Opt, Opt> cases[] = {
      {"History", "editfile -r -i template.txt \"Change history\"\n", "Change history", "req",
       "template.txt"},
      {"related_FILE", "editfile -R Attached files\n", "Attached files", "Req", std::nullopt},
      {"Related-file", "echo Plain\neditfile -i \"a b.txt\" \"Files\"\n", "Files", std::nullopt,
       "a b.txt"},
      {"Related-file", "echo \"Attachments\"  \n", "Attachments", std::nullopt, std::nullopt},
      {"History", "editfile -r -i\n", std::nullopt, "req", std::nullopt},  // options only
      {"History", "editfile \"\"\n", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const auto& [name, text, label, required, defaults] : cases) {
    PfieldArray fields = one_field(name, text);
    fields[0].defaults = fields[0].required = "stale";
    run_steps(fields);
    const pfield& f = fields[0];
    EXPECT_EQ(std::tie(f.type, f.label, f.required, f.defaults),
              std::make_tuple(FT_ENCLOSURE, label, required, defaults))
        << text;
    EXPECT_EQ(f.input_point, std::string(text).size());
    EXPECT_EQ(*f.derivation, text);  // later steps leave enclosures alone
  }
  PfieldArray fields = one_field("History", "if equals $A x\n editfile -r \"T\"\nfi\n");
  run_steps(fields);  // the whole text becomes the validation
  EXPECT_EQ(fields[0].validation, " if equals $A x\n editfile -r \"T\"\n fi\n");
  // Only reached fields of exactly these names (Related-file by the field name rule).
  PfieldArray others = {make_pfield("History", "echo T\n"), make_pfield("Historie", "echo T\n"),
                        make_pfield("history", "echo T\n"), make_end_marker()};
  others[1].states = others[2].states = "S";
  parse_enclosures(others);
  for (int i : {0, 1, 2}) EXPECT_EQ(others[i].type, FT_NONE) << others[i].name;
}

TEST(ParseEnclosures, UnknownOptionIsReportedAndStartsTheTitle) {
  static std::string* warned = new std::string;
  warned->clear();
  message_state().warn_sink = [](const std::string& t) { *warned += t; };
  PfieldArray fields = one_field("History", "editfile -r -x \"T\"\nnext line\n");
  parse_enclosures(fields);
  message_state().warn_sink = nullptr;
  EXPECT_EQ(*warned, "Unknown option to editfile: -x \"T\"\nnext line\n\n");
  EXPECT_EQ(fields[0].label, "-x \"T");
  EXPECT_EQ(fields[0].required, "req");
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
