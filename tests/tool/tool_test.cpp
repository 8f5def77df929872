// End-to-end tests of the qorvcfg tool and of the example host program, run
// as separate processes on the shipped examples and on broken inputs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qorvcfg.h"
#include "support/test_files.h"
#include "tool/run_program.h"

namespace qorvcfg::test {
namespace {

const std::string kDef = std::string(QORVCFG_EXAMPLES_DIR) + "/service.def";
const std::string kConf = std::string(QORVCFG_EXAMPLES_DIR) + "/service.conf";

ProgramRun Tool(const std::vector<std::string> &args) {
  return RunProgram(QORVCFG_TOOL_PATH, args);
}

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
  std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(ToolTest, ExampleDataSurvivesReadAndWriteByteForByte) {
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(Zel_ConfigCreate(kDef.c_str(), &handle), Zel_OK);
  ASSERT_EQ(Zel_ConfigRead(kConf.c_str(), handle), Zel_OK);
  std::string copy = TempPath("copy.conf");
  ASSERT_EQ(Zel_ConfigWrite(copy.c_str(), handle), Zel_OK);
  Zel_ConfigDestroy(handle);
  EXPECT_EQ(ReadFile(copy), ReadFile(kConf));
}

TEST(ToolTest, ItemsPrintsTheDefinitionTree) {
  ProgramRun run = Tool({"items", kDef});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char *line : {
           "config: service\n",
           "  admin_port  integer  range=1024..65535  number=1  default=9901  optional  hidden\n",
           "  server_name  string  length=1..253  number=1  default=\"localhost\"  required\n",
           "  log_level  enumeration  number=1  default=info  required\n",
           "      enum warning: Errors and warnings\n",
           "  listen  ipaddr  number=any  default=0.0.0.0  required\n",
           "  upstream  structure  number=any  optional\n",
           "    name  string  length=1..32  number=1  default=\" \"  identifier  required\n",
           "        description: Used only while every other server is down.\n",
       }) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "in:\n" << run.out;
  }
}

TEST(ToolTest, ShowListsValuesInListingOrderWithStructureBlocks) {
  ProgramRun run = Tool({"show", kDef, kConf});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "listen = 0000:0000:0000:0000:0000:0000:0000:0000\n"
            "listen = 0.0.0.0\n"
            "port = 8080\n"
            "server_name = \"relay.example.net\"\n"
            "log_level = info\n"
            "max_connections = 4096\n"
            "tls = FALSE\n"
            "upstream[beta] {\n"
            "  name = \"beta\"\n"
            "  host = backend-b.example.net\n"
            "  port = 8081\n"
            "  weight = 1\n"
            "  backup = TRUE\n"
            "}\n"
            "upstream[alpha] {\n"
            "  name = \"alpha\"\n"
            "  host = 10.0.0.11\n"
            "  port = 8080\n"
            "  weight = 3\n"
            "}\n");
  EXPECT_EQ(run.err, "");
}

TEST(ToolTest, GetFollowsPathsAndPicks) {
  struct Row {
    const char *path;
    int status;
    const char *out;  // whole standard output, or a part of standard error
  };
  const Row rows[] = {
      {"port", 0, "8080\n"},
      {"listen", 0, "0000:0000:0000:0000:0000:0000:0000:0000\n0.0.0.0\n"},
      {"upstream[beta]/host", 0, "backend-b.example.net\n"},
      {"upstream[alpha]/weight", 0, "3\n"},
      {"upstream[alpha]/backup", 0, ""},
      {"upstream[alpha]", 0, "upstream[alpha] {\n  name = \"alpha\"\n"},
      {"admin_port", 0, ""},
      {"upstream/port", 1, "upstream has 2 values; pick one with upstream[...]: Zel_EINVAL"},
      {"upstream[gamma]/port", 1, "Zel_ENOENT (0x05300000)"},
      {"porter", 1, "Zel_ENOTFOUND (0x06400000)"},
      {"upstream[alpha]/nosuch", 1, "Zel_ENOTFOUND (0x06400000)"},
      {"port[1]", 2, "no identifier item"},
      {"port/x", 2, "is no structure"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.path);
    ProgramRun run = Tool({"get", kDef, kConf, row.path});
    EXPECT_EQ(run.status, row.status) << run.err;
    if (row.status == 0) {
      EXPECT_EQ(run.out.substr(0, std::string(row.out).size()), row.out);
    } else {
      EXPECT_NE(run.err.find(row.out), std::string::npos) << run.err;
    }
  }
}

TEST(ToolTest, FailuresNameTheResultCodeAndWriteNothing) {
  struct Row {
    std::vector<std::string> args;
    int status;
    const char *err;
  };
  const std::string out = TempPath("out.conf");
  const Row rows[] = {
      {{"show", kDef, kConf + ".missing"}, 1, "Zel_ESYSTEM|2 (0x01400002)"},
      {{"items", kDef + ".missing"}, 1, "Zel_ESYSTEM|2 (0x01400002)"},
      {{"set", kDef, kConf, "port=70000", "-o", out}, 1, "port=70000: Zel_ERANGE (0x0A400000)"},
      {{"set", kDef, kConf, "port=0x10000", "-o", out}, 1, "Zel_ERANGE (0x0A400000)"},
      {{"set", kDef, kConf, "port=-5", "-o", out}, 1, "Zel_ERANGE (0x0A400000)"},
      {{"set", kDef, kConf, "port=18446744073709551616", "-o", out}, 1, "Zel_ERANGE"},
      {{"set", kDef, kConf, "port=80a", "-o", out}, 1, "Zel_EINVAL (0x04400000)"},
      {{"set", kDef, kConf, "log_level=loud", "-o", out}, 1, "Zel_EINVAL (0x04400000)"},
      {{"set", kDef, kConf, "tls=yes", "-o", out}, 1, "Zel_EINVAL (0x04400000)"},
      {{"set", kDef, kConf, "listen=1.2.3.4", "-o", out}, 1, "listen has 2 values"},
      {{"set", kDef, kConf, "listen=1.2.3.256", "-o", out}, 1, "Zel_EINVAL"},
      {{"set", kDef, kConf, "server_name=a<b", "-o", out}, 1, "Zel_EINVAL"},
      {{"add", kDef, kConf, "port=1", "-o", out}, 1, "Zel_ERANGE (0x0A400000)"},
      {{"add", kDef, kConf, "listen=0.0.0.0", "-o", out}, 1, "Zel_EEXIST (0x06300000)"},
      {{"add", kDef, kConf, "upstream=alpha", "-o", out}, 1, "Zel_EEXIST (0x06300000)"},
      // Renaming onto an existing identifier must be caught, not leave two
      // structures that compare equal.
      {{"set", kDef, kConf, "upstream[alpha]/name=beta", "-o", out}, 1, "Zel_EEXIST"},
      // One bad change of several keeps the good ones from being written too.
      {{"set", kDef, kConf, "port=81", "tls=maybe", "-o", out}, 1, "tls=maybe: Zel_EINVAL"},
      {{"del", kDef, kConf, "listen=1.2.3.4", "-o", out}, 1, "Zel_ENOENT (0x05300000)"},
      {{}, 2, "no command"},
      {{"frob"}, 2, "unknown command"},
      {{"show", kDef}, 2, "wrong number of arguments"},
      {{"set", kDef, kConf, "port", "-o", out}, 2, "expected PATH=VALUE"},
      {{"set", kDef, kConf, "port=1", "-o", out, "-x"}, 2, "unknown option -x"},
      {{"set", kDef, kConf, "port=1", "-o"}, 2, "needs a file name"},
      {{"set", kDef, kConf, "upstream=x", "-o", out}, 2, "is a structure"},
      {{"get", kDef, kConf, "upstream[alpha"}, 2, "bad pick"},
  };
  for (const Row &row : rows) {
    std::string trace;
    for (const std::string &arg : row.args) {
      trace += " " + (arg == out ? "OUT" : arg == kDef ? "DEF" : arg == kConf ? "DATA" : arg);
    }
    SCOPED_TRACE(trace);
    ProgramRun run = Tool(row.args);
    EXPECT_EQ(run.status, row.status);
    EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(out));
    std::filesystem::remove(out);
  }
}

TEST(ToolTest, SetWritesOnlyTheChangedValuesInPlace) {
  const std::string out = TempPath("out.conf");
  ProgramRun run = Tool({"set", kDef, kConf, "port=0x20FB", "tls=true", "server_name=edge 1",
                         "upstream[beta]/weight=+5", "admin_port=9000", "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected = Replaced(ReadFile(kConf), "<port>8080</port>", "<port>8443</port>");
  expected = Replaced(expected, "<tls>FALSE</tls>", "<tls>TRUE</tls>");
  expected = Replaced(expected, "relay.example.net", "edge 1");
  expected = Replaced(expected, "<weight>1</weight>", "<weight>5</weight>");
  expected = Replaced(expected, "</upstream>\n</config>",
                      "</upstream>\n  <admin_port>9000</admin_port>\n</config>");
  EXPECT_EQ(ReadFile(out), expected);
  EXPECT_EQ(Tool({"get", kDef, out, "upstream[beta]/weight"}).out, "5\n");
}

TEST(ToolTest, AddAndDelEditTheFileInPlaceWithoutLeftovers) {
  const std::string directory = TempPath("dir");
  std::filesystem::create_directories(directory);
  const std::string data = directory + "/service.conf";
  WriteFile(data, ReadFile(kConf));

  ProgramRun run = Tool({"add", kDef, data, "listen=::1", "upstream[gamma]/host=10.0.0.13",
                         "upstream[gamma]/port=9000", "upstream=delta"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tool({"get", kDef, data, "upstream[gamma]"}).out,
            "upstream[gamma] {\n  name = \"gamma\"\n  host = 10.0.0.13\n  port = 9000\n}\n");
  EXPECT_EQ(Tool({"get", kDef, data, "listen"}).out,
            "0000:0000:0000:0000:0000:0000:0000:0001\n0000:0000:0000:0000:0000:0000:0000:0000\n"
            "0.0.0.0\n");

  // A renamed structure keeps its values and frees its old identifier.
  run = Tool({"set", kDef, data, "upstream[alpha]/name=omega", "upstream[omega]/weight=9"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tool({"add", kDef, data, "upstream[alpha]/host=backend-a"}).status, 0);
  EXPECT_EQ(Tool({"get", kDef, data, "upstream[omega]/host"}).out, "10.0.0.11\n");

  run = Tool({"del", kDef, data, "listen=::", "upstream[beta]", "upstream=delta"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tool({"get", kDef, data, "listen"}).out,
            "0000:0000:0000:0000:0000:0000:0000:0001\n0.0.0.0\n");
  EXPECT_EQ(
      Tool({"check", kDef, data}).out.find("  upstream: 3\n    name: 3\n") != std::string::npos,
      true);
  run = Tool({"del", kDef, data, "upstream"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Tool({"get", kDef, data, "upstream"}).out, "");

  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"service.conf"});
}

TEST(ToolTest, CheckReportsLoadingAndCounts) {
  ProgramRun run = Tool({"check", kDef, kConf});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("loaded: Zel_OK (0x00000000)\n  listen: 2\n  port: 1\n  admin_port: 0\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  upstream: 2\n    name: 2\n    host: 2\n    port: 2\n    weight: 2\n"
                         "    backup: 1\n"),
            std::string::npos)
      << run.out;

  run = Tool({"check", kDef, kConf + ".missing"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("not loaded: Zel_ESYSTEM|2 (0x01400002)"), std::string::npos) << run.out;
}

TEST(ToolTest, HelpForTheToolAndEachCommand) {
  ProgramRun run = Tool({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: qorvcfg COMMAND", 0), 0u) << run.out;
  for (const char *command : {"items", "show", "get", "set", "add", "del", "check"}) {
    run = Tool({command, "--help"});
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.out.rfind(std::string("usage: qorvcfg ") + command, 0), 0u) << run.out;
  }
}

TEST(ToolTest, ExampleHostChangesThePortAndAddsAnUpstream) {
  const std::string out = TempPath("host.conf");
  ProgramRun run = RunProgram(QORVCFG_HOST_PATH, {kDef, kConf, out});
  ASSERT_EQ(run.status, 0) << run.err;
  std::erase(run.out, '\r');  // a C program's text output on Windows
  EXPECT_NE(run.out.find("upstream beta port 8081\nupstream alpha port 8080\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(Tool({"get", kDef, out, "port"}).out, "8443\n");
  EXPECT_EQ(
      Tool({"show", kDef, out})
              .out.find("upstream[gamma] {\n  name = \"gamma\"\n"
                        "  host = 10.0.0.13\n  port = 80\n  weight = 2\n}\n") != std::string::npos,
      true);

  run = RunProgram(QORVCFG_HOST_PATH, {kDef, kConf + ".missing", out + ".2"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Zel_ConfigRead failed: 0x01400002"), std::string::npos) << run.err;
  EXPECT_FALSE(FileExists(out + ".2"));
}

}  // namespace
}  // namespace qorvcfg::test
