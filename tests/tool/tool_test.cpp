// End-to-end tests of the qorvcfg tool and of the example host program, run
// as separate processes on the shipped examples and on broken inputs.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "tool/tool_run.h"

namespace qorvcfg::test {
namespace {

const std::string kDef = std::string(QORVCFG_EXAMPLES_DIR) + "/service.def";
const std::string kConf = std::string(QORVCFG_EXAMPLES_DIR) + "/service.conf";

// Reading commands print exactly the expected output; failing ones name the
// result code (status 1) or the usage error (status 2) and write nothing.
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
       "listen = 0000:0000:0000:0000:0000:0000:0000:0000\nlisten = 0.0.0.0\nport = 8080\n"
       "server_name = \"relay.example.net\"\nlog_level = info\nmax_connections = 4096\n"
       "tls = FALSE\nupstream[beta] {\n  name = \"beta\"\n  host = backend-b.example.net\n"
       "  port = 8081\n  weight = 1\n  backup = TRUE\n}\nupstream[alpha] {\n  name = \"alpha\"\n"
       "  host = 10.0.0.11\n  port = 8080\n  weight = 3\n}\n"},
      {get("listen"), 0, "0000:0000:0000:0000:0000:0000:0000:0000\n0.0.0.0\n"},
      {get("upstream[beta]/host"), 0, "backend-b.example.net\n"},
      {get("upstream[alpha]/backup"), 0, "FALSE\n"},  // the default
      {get("upstream/port"), 1, "upstream has 2 values; pick one with upstream[...] (Zel_EINVAL"},
      {get("upstream[gamma]/port"), 1, "no upstream with name gamma (Zel_ENOENT 0x05300000)"},
      {get("porter"), 1, "no item porter at this level; its items: listen, port, admin_port"},
      {get("port[1]"), 2, "no identifier item"},
      {get("port/x"), 2, "is no structure"},
      {get("upstream[alpha"), 2, "bad pick"},
      {{"items", kDef + ".missing"},
       1,
       ".missing: cannot open: file not found (Zel_ESYSTEM|2 0x01400002)"},
      {edit("set", "port=0x10000"), 1,
       "port=0x10000: out of bounds 1..65535 (Zel_ERANGE 0x0A400000)"},
      {edit("set", "listen=1.2.3.4"), 1, "listen has 2 values"},
      {edit("set", "server_name=a<b"), 1,
       "a<b: would not read back the same: reading ends the text at the '<'"},
      {edit("set", "server_name= x"), 1, "reading drops the leading white space"},
      {edit("add", "listen=10.0.0.0/8"), 1, "reading refuses an address with a mask; --force"},
      {edit("add", "listen=10.0.0.0/33"), 1, "not an IPv4 or IPv6 address or a host name"},
      // Renaming onto an existing identifier must not leave two equal structures.
      {edit("set", "upstream[alpha]/name=beta"), 1, "already present (Zel_EEXIST"},
      {edit("add", "port=1"), 1, "port: already holds 1 value, its most (Zel_ERANGE"},
      {edit("add", "upstream=alpha"), 1, "upstream=alpha: already present (Zel_EEXIST 0x06300000)"},
      {edit("del", "listen=1.2.3.4"), 1, "no such value (Zel_ENOENT"},
      // One bad change of several keeps the good ones from being written too.
      {{"set", kDef, kConf, "port=81", "tls=maybe", "-o", out}, 1, "tls=maybe: not TRUE or FALSE"},
      {{}, 2, "no command"},
      {{"frob"}, 2, "unknown command"},
      {{"show", kDef}, 2, "wrong number of arguments"},
      {edit("set", "port"), 2, "expected PATH=VALUE"},
      {{"set", kDef, kConf, "port=1", "-o", out, "-x"}, 2, "unknown option -x"},
      {{"show", kDef, kConf, "--force"}, 2, "unknown option --force"},
      {{"items", kConf}, 1, "service.conf: the definition has no items, so no data can be read"},
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

TEST(ToolTest, ItemsCheckAndHelpDescribeTheDefinitionAndTheData) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::vector<const char *> parts;  // of standard output
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
       1,
       {".missing: not loaded: cannot open: file not found (Zel_ESYSTEM|2 0x01400002)\n"}},
      {{"check", kConf, kConf},
       1,
       {"not loaded: the definition has no items, so no data can be read"}},
      {{"--help"}, 0, {"usage: qorvcfg COMMAND"}},
  };
  for (const auto &row : rows) {
    ProgramRun run = Tool(row.args);
    EXPECT_EQ(run.status, row.status) << run.err;
    for (const char *part : row.parts) EXPECT_NE(run.out.find(part), std::string::npos) << part;
  }
  for (std::string command : {"items", "show", "get", "set", "add", "del", "check"}) {
    EXPECT_EQ(Tool({command, "--help"}).out.rfind("usage: qorvcfg " + command, 0), 0u) << command;
  }
}

// The rest of the example comes back byte for byte; values as typed.
TEST(ToolTest, SetWritesOnlyTheChangedValuesInPlace) {
  const std::string out = TempPath("out.conf");
  ProgramRun run = Tool({"set", kDef, kConf, "port=0x20FB", "tls=true", "server_name=edge 1",
                         "upstream[beta]/weight=+5", "admin_port=9000", "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected = ReadFile(kConf);
  const std::pair<std::string, std::string> changes[] = {
      {"<port>8080<", "<port>0x20FB<"},  // the first one is the top-level port
      {"<tls>FALSE", "<tls>true"},
      {"relay.example.net", "edge 1"},
      {"<weight>1<", "<weight>+5<"},
      {"</upstream>\n</config>", "</upstream>\n  <admin_port>9000</admin_port>\n</config>"}};
  for (const auto &[from, to] : changes) expected.replace(expected.find(from), from.size(), to);
  EXPECT_EQ(ReadFile(out), expected);
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
  EXPECT_EQ(run({"get", "listen"}), "0000:0000:0000:0000:0000:0000:0000:0001\n0.0.0.0\n");
  EXPECT_NE(run({"check"}).find("  upstream: 3\n    name: 3\n"), std::string::npos);
  run({"del", "upstream"});
  EXPECT_EQ(Tool({"get", kDef, data, "upstream"}).status, 1);  // no value, no default
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

TEST(ToolTest, ExampleHostChangesThePortAndAddsAnUpstream) {
  const std::string out = TempPath("host.conf");
  ProgramRun run = RunProgram(QORVCFG_HOST_PATH, {kDef, kConf, out});
  ASSERT_EQ(run.status, 0) << run.err;
  std::erase(run.out, '\r');  // a C program's text output on Windows
  EXPECT_NE(run.out.find("upstream beta port 8081\nupstream alpha port 8080\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(Tool({"get", kDef, out, "port"}).out, "8443\n");
  EXPECT_EQ(Tool({"get", kDef, out, "upstream[gamma]"}).out,
            "upstream[gamma] {\n  name = \"gamma\"\n  host = 10.0.0.13\n  port = 80\n"
            "  weight = 2\n}\n");
  run = RunProgram(QORVCFG_HOST_PATH, {kDef, kConf + ".missing", out + ".2"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Zel_ConfigRead failed: 0x01400002"), std::string::npos) << run.err;
  EXPECT_FALSE(FileExists(out + ".2"));
}

// A file that reading cuts short is never written over: the edit is refused
// and the bytes stay as they were; --force writes what was kept.
TEST(ToolTest, EditsRefuseAFileThatReadingCutShort) {
  const std::string good = ReadFile(kConf);
  auto replaced = [&](const std::string &from, const std::string &to) {
    std::string text = good;
    return text.replace(text.find(from), from.size(), to);
  };
  const struct {
    const char *name;
    std::string bytes;
    const char *kind;  // of the first mistake check reports
  } rows[] = {
      {"a typo", replaced("<tls>FALSE</tls>", "<tsl>FALSE</tsl>"), "unknown_element"},
      {"a comment", replaced("  <port>8080</port>", "  <!-- <port>8080</port> -->"), "comment_tag"},
      {"an unclosed tag", replaced("<tls>FALSE</tls>", "<tls>FALSE"), "unclosed_element"},
      {"a value that does not convert", replaced("<tls>FALSE</tls>", "<tls>1</tls>"),
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
      EXPECT_EQ(run.status, 1) << command;
      EXPECT_NE(run.err.find("not written: reading left out what is listed above"),
                std::string::npos)
          << run.err;
      EXPECT_EQ(ReadFile(data), row.bytes);
    }
    ProgramRun check = Tool({"check", kDef, data, "--json"});
    EXPECT_EQ(check.status, 1);
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
  EXPECT_EQ(Tool({"check", kDef, out}).status, 1);  // the masked address is left out
}

// Whether text is exactly one JSON value (RFC 8259) with white space around.
bool IsJsonDocument(const std::string &text) {
  std::size_t at = 0;
  auto space = [&] {
    while (at < text.size() && std::strchr(" \t\r\n", text[at]) && text[at]) ++at;
  };
  auto take = [&](char c) { return at < text.size() && text[at] == c ? (++at, true) : false; };
  auto string = [&] {
    if (!take('"')) return false;
    while (at < text.size() && text[at] != '"') {
      const auto c = static_cast<unsigned char>(text[at++]);
      if (c < 0x20) return false;
      if (c == '\\') {
        if (at >= text.size() || std::strchr("\"\\/bfnrtu", text[at]) == nullptr) return false;
        at += text[at] == 'u' ? 5 : 1;
      }
    }
    return take('"');
  };
  std::function<bool()> value = [&] {
    space();
    if (take('{') || take('[')) {
      const char close = text[at - 1] == '{' ? '}' : ']';
      space();
      if (take(close)) return true;
      do {
        space();
        if (close == '}' && !(string() && (space(), take(':')))) return false;
        if (!value()) return false;
        space();
      } while (take(','));
      return take(close);
    }
    if (at < text.size() && text[at] == '"') return string();
    for (const char *word : {"true", "false", "null"}) {
      if (text.compare(at, std::strlen(word), word) == 0) return at += std::strlen(word), true;
    }
    const std::size_t start = at;
    take('-');
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    return at > start && std::isdigit(static_cast<unsigned char>(text[at - 1]));
  };
  return value() && (space(), at == text.size());
}

TEST(ToolTest, JsonOutputIsOneDocumentWithEscapedTexts) {
  const std::string data = TempPath("odd.conf");
  WriteFile(
      data,
      "<config>\n  <server_name>a\"b\\c\td\x80xyz\xC3\xA9</server_name>\n  <port>0x10</port>\n"
      "  <upstream><name>x</name><host>h</host></upstream>\n</config>\n");
  const struct {
    std::vector<std::string> args;
    std::vector<const char *> parts;
  } rows[] = {
      {{"show", kDef, data, "--json"},
       {"\"server_name\":[\"a\\\"b\\\\c\\td\\ufffdxyz\xC3\xA9\"]", "\"port\":[16]", "\"tls\":[]",
        "\"upstream\":[{\"name\":[\"x\"],\"host\":[\"h\"],\"port\":[],"}},
      {{"get", kDef, kConf, "upstream", "--json"}, {"[{\"name\":[\"beta\"]", "\"backup\":[true]}"}},
      {{"get", kDef, kConf, "listen", "--json"}, {"[\"0000:"}},
      {{"get", kDef, kConf, "admin_port", "--json"}, {"[9901]"}},
      {{"items", kDef, "--json"},
       {"\"name\":\"service\"", "\"words\":[{\"word\":\"error\",\"text\":\"Errors only\"}",
        "\"type\":\"structure\",\"number\":0,"}},
      {{"check", kDef, data, "--json"},
       {"\"loaded\":true", "\"result\":\"Zel_OK 0x00000000\"", "\"upstream/port\":0"}},
      {{"check", kDef, kConf + ".missing", "--json"},
       {"\"loaded\":false", "cannot open: file not found"}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    ProgramRun run = Tool(row.args);
    EXPECT_TRUE(IsJsonDocument(run.out)) << run.out;
    for (const char *part : row.parts) EXPECT_NE(run.out.find(part), std::string::npos) << run.out;
  }
}

// Each mistake is reported where its element's start tag is, with its kind
// and element; the text form is FILE:LINE:COL: message.
TEST(ToolTest, CheckReportsEachMistakeAtItsElement) {
  const std::string data = TempPath("mistakes.conf");
  WriteFile(data,
            "<config>\n"
            "  <prot>8080</prot>\n"
            "  <port>70000</port>\n"
            "  <tls>TRUE</tls>\n"
            "  <tls>FALSE</tls>\n"
            "  <listen>0.0.0.0</listen>\n"
            "  <listen>0.0.0.0</listen>\n"
            "  <upstream><bogus>1</bogus></upstream>\n"
            "</config>\n");
  const std::string definition = TempPath("typo.def");
  WriteFile(definition,
            "<config_define>\n  <name>t</name>\n  <item>\n    <name>a</name>\n"
            "    <type>integr</type>\n  </item>\n</config_define>\n");
  const struct {
    std::string file;
    int line, column;
    const char *kind, *element;
  } expected[] = {
      {data, 2, 3, "unknown_element", "prot"},   {data, 3, 3, "not_converted", "port"},
      {data, 5, 3, "number_reached", "tls"},     {data, 7, 3, "duplicate", "listen"},
      {data, 8, 13, "unknown_element", "bogus"}, {data, 8, 3, "empty_structure", "upstream"},
  };
  ProgramRun json = Tool({"check", kDef, data, "--json"});
  ProgramRun text = Tool({"check", kDef, data});
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(text.status, 1);
  for (const auto &row : expected) {
    SCOPED_TRACE(std::to_string(row.line) + ":" + std::to_string(row.column));
    const std::string position = "\"file\":" + std::string("\"") + row.file +
                                 "\",\"line\":" + std::to_string(row.line) +
                                 ",\"column\":" + std::to_string(row.column) + ",\"kind\":\"" +
                                 row.kind + "\",\"element\":\"" + row.element + "\"";
    EXPECT_NE(json.out.find(position), std::string::npos) << json.out;
    const std::string line =
        "\n" + row.file + ":" + std::to_string(row.line) + ":" + std::to_string(row.column) + ": ";
    EXPECT_NE(("\n" + text.out).find(line), std::string::npos) << text.out;
  }
  ProgramRun typo = Tool({"check", definition, data, "--json"});
  EXPECT_NE(
      typo.out.find("\"line\":5,\"column\":5,\"kind\":\"not_converted\",\"element\":\"type\""),
      std::string::npos)
      << typo.out;
  EXPECT_NE(typo.out.find("\"line\":3,\"column\":3,\"kind\":\"unknown_type\""), std::string::npos)
      << typo.out;
}

}  // namespace
}  // namespace qorvcfg::test
