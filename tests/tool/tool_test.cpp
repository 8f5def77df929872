// End-to-end tests of the qorvcfg tool and of the example host program, run
// as separate processes on the shipped examples and on broken inputs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_files.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace qorvcfg::test {
namespace {

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

// Runs a program of the build through the shell and collects its status and
// output; no argument holds a quote, a dollar sign or a backslash.
ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args) {
  const std::string out = TempPath("stdout"), err = TempPath("stderr");
  auto quoted = [](const std::string &text) { return "\"" + text + "\""; };
  std::string command = quoted(program);
  for (const std::string &arg : args) command += " " + quoted(arg);
  command += " >" + quoted(out) + " 2>" + quoted(err);
#ifdef _WIN32
  const int status = std::system(("\"" + command + "\"").c_str());  // cmd drops the outer quotes
#else
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
  return {status, ReadFile(out), ReadFile(err)};
}

const std::string kDef = std::string(QORVCFG_EXAMPLES_DIR) + "/service.def";
const std::string kConf = std::string(QORVCFG_EXAMPLES_DIR) + "/service.conf";

ProgramRun Tool(const std::vector<std::string> &args) {
  return RunProgram(QORVCFG_TOOL_PATH, args);
}

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
      {get("upstream[alpha]/backup"), 0, ""},
      {get("upstream/port"), 1, "upstream has 2 values; pick one with upstream[...]: Zel_EINVAL"},
      {get("upstream[gamma]/port"), 1, "Zel_ENOENT (0x05300000)"},
      {get("porter"), 1, "Zel_ENOTFOUND (0x06400000)"},
      {get("port[1]"), 2, "no identifier item"},
      {get("port/x"), 2, "is no structure"},
      {get("upstream[alpha"), 2, "bad pick"},
      {{"items", kDef + ".missing"}, 1, "Zel_ESYSTEM|2 (0x01400002)"},
      {edit("set", "port=0x10000"), 1, "port=0x10000: Zel_ERANGE (0x0A400000)"},
      {edit("set", "port=18446744073709551616"), 1, "Zel_ERANGE"},
      {edit("set", "port=80a"), 1, "Zel_EINVAL (0x04400000)"},
      {edit("set", "tls=yes"), 1, "Zel_EINVAL"},
      {edit("set", "listen=1.2.3.4"), 1, "listen has 2 values"},
      {edit("set", "server_name=a<b"), 1, "Zel_EINVAL"},
      // Renaming onto an existing identifier must not leave two equal structures.
      {edit("set", "upstream[alpha]/name=beta"), 1, "Zel_EEXIST"},
      {edit("add", "port=1"), 1, "Zel_ERANGE"},
      {edit("add", "upstream=alpha"), 1, "Zel_EEXIST (0x06300000)"},
      {edit("del", "listen=1.2.3.4"), 1, "Zel_ENOENT"},
      // One bad change of several keeps the good ones from being written too.
      {{"set", kDef, kConf, "port=81", "tls=maybe", "-o", out}, 1, "tls=maybe: Zel_EINVAL"},
      {{}, 2, "no command"},
      {{"frob"}, 2, "unknown command"},
      {{"show", kDef}, 2, "wrong number of arguments"},
      {edit("set", "port"), 2, "expected PATH=VALUE"},
      {{"set", kDef, kConf, "port=1", "-o", out, "-x"}, 2, "unknown option -x"},
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
       {"loaded: Zel_OK (0x00000000)\n  listen: 2\n  port: 1\n  admin_port: 0\n",
        "  upstream: 2\n    name: 2\n    host: 2\n    port: 2\n    weight: 2\n    backup: 1\n"}},
      {{"check", kDef, kConf + ".missing"}, 1, {"not loaded: Zel_ESYSTEM|2 (0x01400002)"}},
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

// The rest of the example comes back byte for byte.
TEST(ToolTest, SetWritesOnlyTheChangedValuesInPlace) {
  const std::string out = TempPath("out.conf");
  ProgramRun run = Tool({"set", kDef, kConf, "port=0x20FB", "tls=true", "server_name=edge 1",
                         "upstream[beta]/weight=+5", "admin_port=9000", "-o", out});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string expected = ReadFile(kConf);
  const std::pair<std::string, std::string> changes[] = {
      {"<port>8080<", "<port>8443<"},  // the first one is the top-level port
      {"<tls>FALSE", "<tls>TRUE"},
      {"relay.example.net", "edge 1"},
      {"<weight>1<", "<weight>5<"},
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
  EXPECT_EQ(run({"get", "upstream"}), "");
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

}  // namespace
}  // namespace qorvcfg::test
