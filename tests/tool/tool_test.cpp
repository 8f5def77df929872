// End-to-end tests of the qorvcfg tool, run as separate processes on the
// shipped examples and on broken inputs.
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 with the sanitizers warns that <regex> copies a member of its
// states before it is set, in any program that uses it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "tool/tool_run.h"

namespace qorvcfg::test {
namespace {

// A missing file in the system's words.
#ifdef _WIN32
#define QORVCFG_NO_FILE "file not found"
#else
#define QORVCFG_NO_FILE "no such file or directory"
#endif

const std::string kDef = std::string(QORVCFG_EXAMPLES_DIR) + "/service.def";
const std::string kConf = std::string(QORVCFG_EXAMPLES_DIR) + "/service.conf";

// The example data with one piece replaced.
std::string Example(const std::string &from, const std::string &to) {
  std::string text = ReadFile(kConf);
  return text.replace(text.find(from), from.size(), to);
}

// Reading commands print exactly the expected output; failing ones name the
// result code with the status of its kind and write nothing.
TEST(ToolTest, CommandsPrintValuesOrNameTheFailure) {
  const std::string out = TempPath("out.conf");
  auto get = [&](const char *path) { return std::vector<std::string>{"get", kDef, kConf, path}; };
  auto edit = [&](const char *command, const char *change) {
    return std::vector<std::string>{command, kDef, kConf, change, "-o", out};
  };
  const struct {
    std::vector<std::string> args;
    int status;
    const char *text;  // all of standard output, or a part of standard error
  } rows[] = {
      {{"show", kDef, kConf},
       0,
       "listen = ::\nlisten = 0.0.0.0\nport = 8080\n"
       "server_name = \"relay.example.net\"\nlog_level = info\nmax_connections = 4096\n"
       "tls = FALSE\nupstream[beta] {\n  name = \"beta\"\n  host = backend-b.example.net\n"
       "  port = 8081\n  weight = 1\n  backup = TRUE\n}\nupstream[alpha] {\n  name = \"alpha\"\n"
       "  host = 10.0.0.11\n  port = 8080\n  weight = 3\n}\n"},
      {get("listen"), 0, "::\n0.0.0.0\n"},
      {get("upstream[beta]/host"), 0, "backend-b.example.net\n"},
      {get("upstream[alpha]/backup"), 0, "FALSE\n"},  // the default
      {get("upstream/port"), 2, "upstream has 2 values; pick one with upstream[...] (Zel_EINVAL"},
      {get("upstream[gamma]/port"), 1, "no upstream with name gamma (Zel_ENOENT 0x05300000)"},
      {get("porter"), 1,
       "no item porter at this level; did you mean port?; its items: listen, port"},
      {get("upstream[alpha]/colour"), 1, "no item colour at this level; its items: name, host"},
      {get("port[1]"), 2, "no identifier item"},
      {get("port/x"), 2, "is no structure"},
      {get("upstream[alpha"), 2, "bad pick"},
      {{"items", kDef + ".missing"},
       3,
       ".missing: cannot open: " QORVCFG_NO_FILE " (Zel_ESYSTEM|2 0x01400002)"},
      {edit("set", "port=0x10000"), 5,
       "port=0x10000: out of bounds 1..65535 (Zel_ERANGE 0x0A400000)"},
      {edit("set", "listen=1.2.3.4"), 2, "listen has 2 values"},
      {edit("set", "server_name=a<b"), 5,
       "a<b: would not read back the same: reading ends the text at the '<'"},
      {edit("set", "server_name= x"), 5, "reading drops the leading white space"},
      {edit("add", "listen=10.0.0.0/8"), 5, "reading refuses an address with a mask; --force"},
      // Renaming onto an existing identifier must not leave two equal structures.
      {edit("set", "upstream[alpha]/name=beta"), 5, "already present (Zel_EEXIST"},
      {edit("add", "port=1"), 5, "port: already holds 1 value, its most (Zel_ERANGE"},
      {edit("add", "upstream=alpha"), 5, "upstream=alpha: already present (Zel_EEXIST 0x06300000)"},
      {edit("del", "listen=1.2.3.4"), 1, "no such value (Zel_ENOENT"},
      // One bad change of several keeps the good ones from being written too.
      {{"set", kDef, kConf, "port=81", "tls=maybe", "-o", out}, 5, "tls=maybe: not TRUE or FALSE"},
      {{}, 2, "no command"},
      {{"frob"}, 2, "unknown command"},
      {{"show", kDef}, 2, "wrong number of arguments"},
      {edit("set", "port"), 2, "expected PATH=VALUE"},
      {{"set", kDef, kConf, "port=1", "-o", out, "-x"}, 2, "unknown option -x"},
      {{"items", kConf}, 3, "service.conf: the definition has no items, so no data can be read"},
      {{"--version"}, 0, "qorvcfg " QORVCFG_TOOL_VERSION "\n"},
      {get("admin_port"), 0, "9901\n"},  // the default, said on standard error
      {{"set", kDef, kConf, "port=1", "-o"}, 2, "needs a file name"},
      {edit("set", "upstream=x"), 2, "is a structure"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    ProgramRun run = Tool(row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_TRUE(row.status == 0 ? run.out == row.text : run.err.find(row.text) != std::string::npos)
        << run.out << run.err;
    EXPECT_FALSE(FileExists(out));
  }
}

TEST(ToolTest, AddAndDelEditTheFileInPlaceWithoutLeftovers) {
  const std::string directory = TempPath("dir");
  std::filesystem::create_directories(directory);
  const std::string data = directory + "/service.conf";
  WriteFile(data, ReadFile(kConf));
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin() + 1, {kDef, data});
    ProgramRun result = Tool(args);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  };
  run({"add", "listen=::1", "upstream[gamma]/host=10.0.0.13", "upstream[gamma]/port=9000",
       "upstream=delta"});
  EXPECT_EQ(run({"get", "upstream[gamma]"}),
            "upstream[gamma] {\n  name = \"gamma\"\n  host = 10.0.0.13\n  port = 9000\n}\n");
  // A renamed structure keeps its values and frees its old identifier.
  run({"set", "upstream[alpha]/name=omega", "upstream[omega]/weight=9"});
  run({"add", "upstream[alpha]/host=backend-a"});
  EXPECT_EQ(run({"get", "upstream[omega]/host"}), "10.0.0.11\n");
  run({"del", "listen=::", "upstream[beta]", "upstream=delta"});
  EXPECT_EQ(run({"get", "listen"}), "::1\n0.0.0.0\n");
  EXPECT_NE(run({"check"}).find("  upstream: 3\n    name: 3\n"), std::string::npos);
  run({"del", "upstream"});
  EXPECT_EQ(Tool({"get", kDef, data, "upstream"}).status, 1);  // no value, no default
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

// A file that reading cuts short is never written over: the edit is refused
// and the bytes stay as they were; --force writes what was kept.
TEST(ToolTest, EditsRefuseAFileThatReadingCutShort) {
  const struct {
    const char *name;
    std::string bytes;
    const char *kind;  // of the first mistake check reports
  } rows[] = {
      {"a typo", Example("<tls>FALSE</tls>", "<tsl>FALSE</tsl>"), "unknown_element"},
      {"a comment", Example("  <port>8080</port>", "  <!-- <port>8080</port> -->"), "comment_tag"},
      {"an unclosed tag", Example("<tls>FALSE</tls>", "<tls>FALSE"), "unclosed_element"},
      {"a value that does not convert", Example("<tls>FALSE</tls>", "<tls>1</tls>"),
       "not_converted"},
      {"JSON", "{\"port\": 8080}\n", "no_root"},
      {"nothing", "", "no_root"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const std::string data = TempPath("broken.conf");
    WriteFile(data, row.bytes);
    for (const char *command : {"set", "add", "del"}) {
      ProgramRun run = Tool({command, kDef, data, "max_connections=10"});
      EXPECT_EQ(run.status, 3) << command;
      EXPECT_NE(run.err.find("not written: reading left out what is listed above"),
                std::string::npos)
          << run.err;
      EXPECT_EQ(ReadFile(data), row.bytes);
    }
    ProgramRun check = Tool({"check", kDef, data, "--json"});
    EXPECT_EQ(check.status, 3);
    EXPECT_NE(check.out.find(std::string("\"kind\":\"") + row.kind + "\""), std::string::npos)
        << check.out;
    EXPECT_EQ(Tool({"set", kDef, data, "tls=TRUE", "--force"}).status, 0);
    EXPECT_NE(ReadFile(data).find("<tls>TRUE</tls>"), std::string::npos);
  }
}

TEST(ToolTest, ForceWritesAValueThatDoesNotReadBack) {
  const std::string out = TempPath("out.conf");
  ProgramRun run = Tool({"add", kDef, kConf, "listen=10.0.0.0/8", "--force", "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("warning: listen=10.0.0.0/8: reading refuses an address with a mask"),
            std::string::npos);
  EXPECT_NE(ReadFile(out).find("<listen>10.0.0.0/255.0.0.0</listen>"), std::string::npos);
  EXPECT_EQ(Tool({"check", kDef, out}).status, 3);  // the masked address is left out
}

// Whether text is exactly one JSON value (RFC 8259) with white space around,
// of texts, whole numbers, words and the arrays and objects of those: texts
// become s, the other scalars v, then arrays and objects of nothing but s and
// v fold into v from the inside out, until one value is left.
bool IsJsonDocument(const std::string &text) {
  static const std::regex texts(R"("([^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*")");
  static const std::regex scalars(R"(-?[0-9]+|true|false|null)");
  static const std::regex folds(
      R"(\[\s*\]|\{\s*\}|\[\s*[sv](\s*,\s*[sv])*\s*\]|\{\s*s\s*:\s*[sv](\s*,\s*s\s*:\s*[sv])*\s*\})");
  std::string left = std::regex_replace(std::regex_replace(text, texts, "s"), scalars, "v");
  for (std::string folded; (folded = std::regex_replace(left, folds, "v")) != left;) left = folded;
  return std::regex_match(left, std::regex(R"(\s*[sv]\s*)"));
}

// What items, check and the JSON views print: each row's parts of standard
// output; JSON output is one document, with its texts escaped. Each mistake
// is reported where its element's start tag is, with its kind and element,
// as FILE:LINE:COL: in text. A definition alone gets every repair with its
// position, and what makes every read of data fail, in plain words.
TEST(ToolTest, ItemsCheckAndJsonPrintTheDefinitionAndTheData) {
  const std::string data = TempPath("odd.conf");
  WriteFile(
      data,
      "<config>\n  <server_name>a\"b\\c\td\x80xyz\xC3\xA9</server_name>\n  <port>0x10</port>\n"
      "  <upstream><name>x</name><host>h</host></upstream>\n</config>\n");
  const std::string mistakes = TempPath("mistakes.conf");
  WriteFile(mistakes,
            "<config>\n  <prot>8080</prot>\n  <port>70000</port>\n  <tls>TRUE</tls>\n"
            "  <tls>FALSE</tls>\n  <listen>0.0.0.0</listen>\n  <listen>0.0.0.0</listen>\n"
            "  <upstream><bogus>1</bogus></upstream>\n</config>\n");
  const std::string definition = TempPath("bad.def");
  WriteFile(definition,
            "<config_define><name>x</name>\n"
            "<item><name>a</name><type>integer</type></item>\n"
            "<item><name>a</name><type>integer</type></item>\n"
            "<item><name>s</name><type>structure</type></item>\n"
            "</config_define>\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> parts;
  } rows[] = {
      {{"items", kDef},
       0,
       {"config: service\n", "  listen  ipaddr  number=any  default=0.0.0.0  required\n",
        "  admin_port  integer  range=1024..65535  number=1  default=9901  optional  hidden\n",
        "  log_level  enumeration  number=1  default=info  required\n",
        "      enum warning: Errors and warnings\n",
        "    name  string  length=1..32  number=1  default=\" \"  identifier  required\n",
        "        description: Used only while every other server is down.\n"}},
      {{"check", kDef, kConf},
       0,
       {"service.conf: loaded, nothing left out\n  listen: 2\n  port: 1\n  admin_port: 0\n",
        "  upstream: 2\n    name: 2\n    host: 2\n    port: 2\n    weight: 2\n    backup: 1\n"}},
      {{"check", kDef, kConf + ".missing"},
       3,
       {".missing: not loaded: cannot open: " QORVCFG_NO_FILE " (Zel_ESYSTEM|2 0x01400002)\n"}},
      {{"--help"}, 0, {"usage: qorvcfg COMMAND"}},
      // What the shell's completion asks for: every path, and an item's words.
      {{"items", kDef, "--paths"},
       0,
       {"listen\nport\nadmin_port\n", "\nupstream\nupstream/name\n", "/weight\nupstream/backup\n"}},
      {{"items", kDef, "--words", "log_level"}, 0, {"error\nwarning\ninfo\ndebug\n"}},
      {{"items", kDef, "--words", "upstream/backup"}, 0, {"TRUE\nFALSE\n"}},
      {{"check", definition},
       3,
       {definition + ":3:1: item: equal to an earlier sibling (the earlier one is at line 2, "
                     "column 1)\n",
        definition + ": structure s of the definition has no child items, so no data can be read\n",
        "loaded with 2 problems"}},
      {{"check", definition, "--json"}, 3, {"\"kind\":\"unreadable_definition\""}},
      {{"check", kDef}, 0, {"service.def: loaded, 13 items, nothing left out\n"}},
      {{"items", definition}, 3, {"  s  structure"}},
      {{"show", kDef, data, "--json"},
       0,
       {"\"server_name\":[\"a\\\"b\\\\c\\td\\ufffdxyz\xC3\xA9\"]", "\"port\":[16]", "\"tls\":[]",
        "\"upstream\":[{\"name\":[\"x\"],\"host\":[\"h\"],\"port\":[],"}},
      {{"get", kDef, kConf, "upstream", "--json"},
       0,
       {"[{\"name\":[\"beta\"]", "\"backup\":[true]}"}},
      {{"get", kDef, kConf, "listen", "--json"}, 0, {"[\"::\",\"0.0.0.0\"]"}},
      {{"get", kDef, kConf, "admin_port", "--json"}, 0, {"[{\"value\":9901,\"default\":true}]"}},
      {{"show", kDef, kConf, "--json", "--effective"},
       0,
       {"\"admin_port\":[{\"value\":9901,\"default\":true}]", "\"port\":[8080]",
        "\"backup\":[{\"value\":false,\"default\":true}]"}},
      {{"items", kDef, "--json"},
       0,
       {"\"name\":\"service\"", "\"words\":[{\"word\":\"error\",\"text\":\"Errors only\"}",
        "\"type\":\"structure\",\"number\":0,"}},
      {{"check", kDef, data, "--json"},
       0,
       {"\"loaded\":true", "\"result\":\"Zel_OK 0x00000000\"", "\"upstream/port\":0"}},
      {{"check", kDef, kConf + ".missing", "--json"},
       3,
       {"\"loaded\":false", "cannot open: " QORVCFG_NO_FILE}},
      {{"check", kDef, mistakes, "--json"},
       3,
       {"\"file\":\"" + mistakes +
            "\",\"line\":2,\"column\":3,\"kind\":\"unknown_element\",\"element\":\"prot\"",
        "\"line\":3,\"column\":3,\"kind\":\"not_converted\",\"element\":\"port\"",
        "\"line\":5,\"column\":3,\"kind\":\"number_reached\",\"element\":\"tls\"",
        "\"line\":7,\"column\":3,\"kind\":\"duplicate\",\"element\":\"listen\"",
        "\"line\":8,\"column\":13,\"kind\":\"unknown_element\",\"element\":\"bogus\"",
        "\"line\":8,\"column\":3,\"kind\":\"empty_structure\",\"element\":\"upstream\""}},
      {{"check", kDef, mistakes},
       3,
       {mistakes + ":2:3: ", mistakes + ":3:3: ", mistakes + ":5:3: ", mistakes + ":7:3: ",
        mistakes + ":8:13: ", mistakes + ":8:3: "}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    ProgramRun run = Tool(row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    const bool json = std::count(row.args.begin(), row.args.end(), "--json") != 0;
    EXPECT_TRUE(!json || IsJsonDocument(run.out));
    for (const std::string &part : row.parts) {
      EXPECT_NE(run.out.find(part), std::string::npos) << run.out;
    }
  }
}

// Each kind of warning of a strict check alone makes it fail, at its element.
TEST(ToolTest, StrictCheckWarnsOfEachLikelyMistake) {
  const struct {
    std::string bytes;
    const char *line;  // part of the warning's line
  } rows[] = {
      {Example("<config>", "<cfg>").replace(ReadFile(kConf).size() - 10, 9, "</cfg>"),
       ":1:1: warning: the root element is cfg, not config"},
      {Example("<port>8080</port>", "<port>0443</port>"),
       ":4:3: warning: port: '0443' has a leading zero and reads as octal, 291"},
      {Example("<port>8080</port>", ""),
       ":1:1: warning: the top level: required item port has no value"},
      {Example("<name>alpha</name>", ""), ":9:3: warning: upstream: no name, its identifier"},
      {Example("<host>10.0.0.11</host>", ""),
       ":9:3: warning: upstream: required item host has no value"},
      {Example("10.0.0.11", "fe80::zz"),
       ":10:5: warning: upstream/host: 'fe80::zz' reads as a host name, not as an address"},
      {Example("10.0.0.11", "fe80::1"), ":10:5: warning: upstream/host: 'fe80::1' reads as a host"},
      {Example("<tls>FALSE</tls>", "<tsl>FALSE</tsl>"),
       ":8:3: tsl: no such item at this level; did you mean tls?"},
  };
  const std::string data = TempPath("strict.conf");
  for (const auto &row : rows) {
    SCOPED_TRACE(row.line);
    WriteFile(data, row.bytes);
    ProgramRun run = Tool({"check", "--strict", kDef, data});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.out.find(data + row.line), std::string::npos) << run.out;
  }
  EXPECT_EQ(Tool({"check", "--strict", kDef, kConf}).status, 0);
  ProgramRun json = Tool({"check", "--strict", kDef, data, "--json"});
  EXPECT_NE(json.out.find("did you mean tls?\",\"warning\":false"), std::string::npos) << json.out;
}

// The views and the conventions of scripts: standard input, --, --output=F,
// the order of the file, dry runs.
TEST(ToolTest, ViewsAndScriptingConventions) {
  const std::string out = TempPath("out.conf");
  const struct {
    std::vector<std::string> args;
    std::string input;
    int status;
    std::string text;  // all of standard output
  } rows[] = {
      {{"get", kDef, "-", "port"}, kConf, 0, "8080\n"},
      {{"get", "--no-default", kDef, kConf, "admin_port"}, "", 1, ""},
      {{"get", kDef, kConf, "--", "upstream[beta]/port"}, "", 0, "8081\n"},
      {{"show", "--order", "file", kDef, kConf},
       "",
       0,
       "listen = 0.0.0.0\nlisten = ::\nport = 8080\nserver_name = \"relay.example.net\"\n"
       "log_level = info\nmax_connections = 4096\ntls = FALSE\nupstream[alpha] {\n"
       "  name = \"alpha\"\n  host = 10.0.0.11\n  port = 8080\n  weight = 3\n}\n"
       "upstream[beta] {\n  name = \"beta\"\n  host = backend-b.example.net\n  port = 8081\n"
       "  weight = 1\n  backup = TRUE\n}\n"},
      {{"list", "--order=file", kDef, kConf},
       "",
       0,
       "listen=0.0.0.0\nlisten=::\nport=8080\nserver_name=relay.example.net\nlog_level=info\n"
       "max_connections=4096\ntls=FALSE\nupstream[alpha]/name=alpha\nupstream[alpha]/"
       "host=10.0.0.11\n"
       "upstream[alpha]/port=8080\nupstream[alpha]/weight=3\nupstream[beta]/name=beta\n"
       "upstream[beta]/host=backend-b.example.net\nupstream[beta]/port=8081\n"
       "upstream[beta]/weight=1\nupstream[beta]/backup=TRUE\n"},
      {{"set", "--dry-run", kDef, kConf, "port=9090", "upstream[alpha]/weight=4"},
       "",
       0,
       "--- " + kConf + "\n+++ " + kConf +
           "\n@@ -1,7 +1,7 @@\n <config>\n   <listen>0.0.0.0</listen>\n"
           "   <listen>0000:0000:0000:0000:0000:0000:0000:0000</listen>\n-  <port>8080</port>\n"
           "+  <port>9090</port>\n   <server_name>relay.example.net</server_name>\n"
           "   <log_level>info</log_level>\n   <max_connections>4096</max_connections>\n"
           "@@ -9,7 +9,7 @@\n   <upstream>    <name>alpha</name>\n     <host>10.0.0.11</host>\n"
           "     <port>8080</port>\n-    <weight>3</weight>\n+    <weight>4</weight>\n"
           "   </upstream>\n   <upstream>    <name>beta</name>\n     "
           "<host>backend-b.example.net</host>\n"},
      {{"del", "--dry-run", kDef, kConf, "max_connections=4096", "--output=" + out},
       "",
       0,
       "--- " + kConf + "\n+++ " + out +
           "\n@@ -4,7 +4,6 @@\n"
           "   <port>8080</port>\n   <server_name>relay.example.net</server_name>\n"
           "   <log_level>info</log_level>\n-  <max_connections>4096</max_connections>\n"
           "   <tls>FALSE</tls>\n   <upstream>    <name>alpha</name>\n     "
           "<host>10.0.0.11</host>\n"},
      {{"show", "--order", "random", kDef, kConf}, "", 2, ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    ProgramRun run = Tool(row.args, row.input);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_EQ(run.out, row.text);
    EXPECT_FALSE(FileExists(out));
  }
  EXPECT_EQ(Tool({"set", kDef, kConf, "--output=" + out, "port=81"}).status, 0);
  EXPECT_EQ(Tool({"get", kDef, out, "port"}).out, "81\n");
  ProgramRun doc = Tool({"doc", kDef});
  EXPECT_EQ(doc.status, 0);
  for (const char *part :
       {"# Request relay\n", "## `admin_port`\n\n**Administration port**\n",
        "- type: integer\n- range: 1024 to 65535\n- values: at most 1\n- default: `9901`\n"
        "- flags: optional, hidden\n",
        "  - `debug`: Everything, for finding faults\n", "### `upstream/name`\n"}) {
    EXPECT_NE(doc.out.find(part), std::string::npos) << part;
  }
}

#ifndef _WIN32
// Errors in the system's words; what cannot be printed is a failure to write.
TEST(ToolTest, SystemErrorsInTheSystemsWords) {
  const std::string directory = TempPath("a-directory");
  std::filesystem::create_directories(directory);
  ProgramRun run = Tool({"show", kDef, directory});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find(directory + ": cannot open: is a directory (Zel_ESYSTEM|5"),
            std::string::npos)
      << run.err;
  if (std::filesystem::exists("/dev/full")) {
    const int raw = std::system(("\"" + std::string(QORVCFG_TOOL_PATH) + "\" show \"" + kDef +
                                 "\" \"" + kConf + "\" >/dev/full 2>/dev/null")
                                    .c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 4);
  }
}
#endif

// Each command's help, asked either way, gives its synopsis as the man page
// does.
TEST(ToolTest, ManPageAgreesWithTheHelp) {
  std::string man = ReadFile(std::string(QORVCFG_TOOL_SOURCE_DIR) + "/qorvcfg.1");
  for (const char *markup : {"\\fB", "\\fR", "\\"}) {
    for (std::size_t at; (at = man.find(markup)) != std::string::npos;) {
      man.erase(at, std::strlen(markup));
    }
  }
  for (std::string command :
       {"items", "doc", "show", "list", "get", "set", "add", "del", "check"}) {
    const std::string help = Tool({"help", command}).out;
    EXPECT_EQ(Tool({command, "--help"}).out, help);
    EXPECT_EQ(help.rfind("usage: qorvcfg " + command, 0), 0u) << help;
    const std::string synopsis = help.substr(7, help.find('\n') - 7);  // after "usage: "
    EXPECT_NE(man.find("\n" + synopsis + "\n"), std::string::npos) << synopsis;
  }
}

}  // namespace
}  // namespace qorvcfg::test
