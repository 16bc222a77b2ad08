// Writes a database home with one large class for the layoutgen benchmark:
//
//   gen_large_class DIR
//
// DIR (created when missing) receives the class "large": a template of 300
// data fields (text, integer and float prompts, oneof fields on 50 picklist
// files of 1,000 values each, inline someof and combobox lists, helps,
// state conditions, required fields, group definitions), 20 states with a
// routing table that reaches every state from every other one (a ring: the
// next step from X is always the letter after X), two projects, the query
// field list, and record ABCde00001 of project p1 in state A with a value
// for every field.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kFields = 300;
constexpr int kLists = 50;
constexpr int kListValues = 1000;
constexpr int kHelps = 30;
constexpr int kGroupEvery = 50;
constexpr char kStates[] = "ABCDEFGHIJKLMNOPQRST";  // 20 letters
constexpr int kStateCount = sizeof kStates - 1;

// The kinds of data field, assigned round-robin by field number.
enum class Kind { kText, kInt, kFloat, kOneof, kSomeof, kCombobox, kNote, kOwner };
constexpr Kind kCycle[] = {Kind::kText,  Kind::kInt,    Kind::kFloat,    Kind::kOneof,
                           Kind::kOneof, Kind::kSomeof, Kind::kCombobox, Kind::kNote,
                           Kind::kOneof, Kind::kOwner};
constexpr int kCycleLen = sizeof kCycle / sizeof kCycle[0];

Kind kind_of(int i) {
  return kCycle[i % kCycleLen];
}

std::string num(int n, int width) {
  std::string s = std::to_string(n);
  return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, '0') + s;
}

std::string field_name(int i) {
  static constexpr const char* kPrefix[] = {"Name", "Count", "Amount", "Choice", "Choice",
                                            "Tags", "Pick",  "Note",   "Choice", "Owner"};
  return std::string(kPrefix[i % kCycleLen]) + num(i + 1, 3);
}

std::string list_name(int i) {
  return "list" + num(i % kLists, 2);
}
std::string list_value(int list, int v) {
  return "Item " + num(list, 2) + "-" + num(v, 4) + " of list " + num(list, 2);
}
// The n-th oneof field (three per cycle of kinds) uses list n mod 50, so the
// 90 oneof fields share the 50 lists and later fields find theirs loaded.
int oneof_list(int i) {
  int in_cycle = i % kCycleLen == 3 ? 0 : i % kCycleLen == 4 ? 1 : 2;
  return (i / kCycleLen * 3 + in_cycle) % kLists;
}

bool write(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "gen_large_class: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

// One template entry: "Name: first line" and continuation lines opening with a blank.
std::string field_entry(int i) {
  const std::string n = field_name(i);
  std::vector<std::string> lines;
  const bool conditional = i % 7 == 3;
  if (conditional) {
    // Required only in state A: a condition the parse decides per state.
    lines.push_back("if equals $STATE A");
    lines.push_back("  required");
    lines.push_back("fi");
  }
  switch (kind_of(i)) {
    case Kind::kText:
      lines.push_back("\"" + n + ": %-40.80s\"");
      break;
    case Kind::kInt:
      lines.push_back("echo 0");
      lines.push_back("\"" + n + " (count): %d\"");
      break;
    case Kind::kFloat:
      lines.push_back("\"" + n + " (amount): %8.2f\"");
      break;
    case Kind::kOneof:
      lines.push_back("\"" + n + ": %s\"");
      lines.push_back("oneof -f " + list_name(oneof_list(i)));
      break;
    case Kind::kSomeof:
      lines.push_back("\"" + n + ": %s\"");
      lines.push_back("someof linux macos windows bsd \"other unix\" android ios");
      break;
    case Kind::kCombobox:
      lines.push_back("\"" + n + ": %s\"");
      lines.push_back("combobox 1.0 1.1 1.2 2.0 2.1 3.0 \"next release\"");
      break;
    case Kind::kNote:
      lines.push_back("\"" + n + ": %-60.200s\"");
      break;
    case Kind::kOwner:
      lines.push_back("if equals $STATE B");
      lines.push_back("  skip");
      lines.push_back("fi");
      lines.push_back("\"" + n + ": %-20.40s\"");
      break;
  }
  if (i % 4 == 0) lines.push_back("required");
  if (i % 5 == 2) lines.push_back("help help" + num(i % kHelps, 2) + ".help");
  std::string text = n + ": " + lines[0] + "\n";
  for (std::size_t l = 1; l < lines.size(); ++l) text += " " + lines[l] + "\n";
  return text;
}

std::string group_entry(int first) {
  std::string text = "Group" + num(first / kGroupEvery + 1, 1) + ": set group_fields ";
  for (int i = first; i < first + 3; ++i) text += (i > first ? ", " : "") + field_name(i);
  return text + "\n \"Group of fields " + num(first + 1, 3) + " to " + num(first + 3, 3) + "\"\n";
}

std::string master_template() {
  std::string t =
      "# Generated template of the benchmark class \"large\".\n"
      "Begin: set Help-path \"class/$Class/helps\"\n"
      " set Oneof-path \"class/$Class/oneofs\"\n";
  for (int i = 0; i < kFields; ++i) {
    if (i % kGroupEvery == 0) t += group_entry(i);
    t += field_entry(i);
  }
  t += "Status: \"Status: %s\"\n";
  return t;
}

// The record's value for field i: something each field's checks accept.
std::string record_value(int i) {
  switch (kind_of(i)) {
    case Kind::kText:
      return "Text value of field " + num(i + 1, 3);
    case Kind::kInt:
      return std::to_string(i * 7);
    case Kind::kFloat:
      return std::to_string(i) + ".25";
    case Kind::kOneof:
      return list_value(oneof_list(i), (i * 37) % kListValues);
    case Kind::kSomeof:
      return "linux bsd";
    case Kind::kCombobox:
      return "2.0";
    case Kind::kNote:
      return "A note of two lines for field " + num(i + 1, 3) + ".\n The second line of the note.";
    case Kind::kOwner:
      return "erin";
  }
  return "";
}

std::string statenames() {
  std::string s;
  for (int k = 0; k < kStateCount; ++k) {
    char c = kStates[k];
    char category = c == 'S' ? 's' : c == 'F' ? 'f' : c == 'T' ? 'c' : 'o';
    char lower = static_cast<char>(c - 'A' + 'a');
    s += std::string(1, c) + " " + category + " " + lower + "state State " + c + " description\n";
  }
  return s;
}

// Every ordered pair of distinct states; the next step is the following letter of the ring.
std::string routing_table() {
  std::string s = "# Routing table: from-state, to-state, next state (a ring A B ... T A).\n";
  for (int from = 0; from < kStateCount; ++from) {
    for (int to = 0; to < kStateCount; ++to) {
      if (from == to) continue;
      s += std::string(1, kStates[from]) + " " + kStates[to] + " " +
           kStates[(from + 1) % kStateCount] + "\n";
    }
  }
  return s;
}

bool generate(const fs::path& home) {
  const fs::path cls = home / "class" / "large";
  bool ok = write(cls / "master.tmpl", master_template());
  for (int l = 0; l < kLists && ok; ++l) {
    std::string values;
    for (int v = 0; v < kListValues; ++v) values += list_value(l, v) + "\n";
    ok = write(cls / "oneofs" / list_name(l), values);
  }
  for (int h = 0; h < kHelps && ok; ++h) {
    ok = write(cls / "helps" / ("help" + num(h, 2) + ".help"),
               "Help text number " + std::to_string(h) +
                   " of the class large.\n"
                   "It says what to enter in the field.\n");
  }
  ok = ok && write(cls / "statenames", statenames());
  ok = ok && write(cls / "states", routing_table());

  for (const char* p : {"p1", "p2"}) {
    ok = ok && write(home / "proj.info" / p,
                     std::string("Class: large\nProj-status: active\nPath-to-owner: ABCde\n"
                                 "Description: Benchmark project ") +
                         p + "\n");
    ok = ok && write(home / "projects" / p / "proj.control",
                     "# No rules: every state is open to everybody.\n");
  }
  ok = ok && write(home / "etc" / "oneofs" / "large.C", "p1\np2\n");
  ok = ok && write(home / "etc" / "oneofs" / "large.CX", "p0\n");
  ok = ok && write(home / "etc" / "plixrc", "View-closed-projects: yes\n");

  std::string cache = "# Fields offered on the query form.\n";
  for (int i = 0; i < kFields; i += 6) cache += field_name(i) + ": yes\n";
  cache += "Status: yes\n";
  ok = ok && write(home / "etc" / "cache_conf", cache);

  ok = ok && write(home / "conf" / "def.seq", "Machid: ABCde00100\n");
  ok = ok && write(home / "conf" / "http_user", "www-data\n");
  ok = ok && write(home / "conf" / "hostname", "Hostname: bench.example.org\n");
  ok = ok && write(home / "conf" / "groups", "qa: carol, dave\nleads: erin\n");
  ok = ok && write(home / "dbms" / "plix" / ".schema", "id char(10)\nname001 char(80)\n");

  std::string record = "Project: p1\nStatus: A\n";
  for (int i = 0; i < kFields; ++i) record += field_name(i) + ": " + record_value(i) + "\n";
  ok = ok && write(home / "allbugs" / "01" / "ABCde00001", record);

  std::error_code ec;
  fs::create_directories(home / "spool", ec);
  fs::create_directories(home / "tmp", ec);
  return ok && !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_large_class DIR\n");
    return 1;
  }
  return generate(argv[1]) ? 0 : 1;
}
