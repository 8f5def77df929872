// Edits of hand-written data files: each one changes exactly the bytes of
// what it was asked to change, and anything that cannot be proven right is
// refused with the file left as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"
#include "tool/tool_run.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qorvcfg::test {
namespace {

// Scalars, and structures nested three deep, each keyed by its first item.
const char kDefinition[] =
    "<config_define><name>edits</name>\n"
    "<item><name>port</name><type>integer</type><maximum>65535</maximum></item>\n"
    "<item><name>name</name><type>string</type><necessity>FALSE</necessity></item>\n"
    "<item><name>listen</name><type>ipaddr</type><number>0</number></item>\n"
    "<item><name>tls</name><type>boolean</type></item>\n"
    "<item><name>site</name><type>structure</type><number>0</number>\n"
    "  <item><name>id</name><type>string</type><identifier>TRUE</identifier></item>\n"
    "  <item><name>port</name><type>integer</type></item>\n"
    "  <item><name>route</name><type>structure</type><number>0</number>\n"
    "    <item><name>path</name><type>string</type><identifier>TRUE</identifier></item>\n"
    "    <item><name>rule</name><type>structure</type><number>0</number>\n"
    "      <item><name>match</name><type>string</type><identifier>TRUE</identifier></item>\n"
    "      <item><name>weight</name><type>integer</type></item>\n"
    "    </item>\n"
    "  </item>\n"
    "</item>\n"
    "</config_define>\n";

const std::string &Definition() {
  static const std::string path = [] {
    const std::string file = TempPath("edits.def");
    WriteFile(file, kDefinition);
    return file;
  }();
  return path;
}

// A commented, tab-indented file with a declaration.
const char kTabbed[] =
    "<?xml version=\"1.0\"?>\n"
    "<!-- service settings -->\n"
    "<config>\n"
    "\t<port>8080</port>\t<!-- the public port -->\n"
    "\n"
    "\t<listen>10.0.0.1</listen>\n"
    "\t<site>\n"
    "\t\t<id>a</id>\n"
    "\t\t<route>\n"
    "\t\t\t<path>x</path>\n"
    "\t\t\t<rule><match>m</match><weight>1</weight></rule>\n"
    "\t\t</route>\n"
    "\t</site>\n"
    "\t<site>\n"
    "\t\t<id>b</id>\n"
    "\t</site>\n"
    "</config>\n";

std::filesystem::path Native(const std::string &utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Runs the tool's command (the first word) on data with the rest as its changes.
ProgramRun Edit(std::vector<std::string> args, const std::string &data) {
  args.insert(args.begin() + 1, {Definition(), data});
  return Tool(args);
}

std::string Replaced(std::string text, const std::string &from, const std::string &to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Each row edits a copy of its file in place and must leave exactly the
// expected bytes.
TEST(EditInPlaceTest, EditsChangeOnlyWhatWasAsked) {
  const std::string crlf =
      "<config>\r\n  <port>1</port>\r\n  <listen>10.0.0.1</listen>\r\n</config>\r\n";
  const std::string unfinished = "<config>\n  <port>1</port>\n</config>";
  const struct {
    const char *name;
    std::string before;
    std::vector<std::string> args;  // the command, then its changes
    std::string after;
  } rows[] = {
      {"a scalar's text only", kTabbed, {"set", "port=9090"}, Replaced(kTabbed, "8080", "9090")},
      {"the text as typed when it reads back the same",
       kTabbed,
       {"set", "port=0x10"},
       Replaced(kTabbed, ">8080<", ">0x10<")},
      {"a new item after the last element of its level, as typed",
       kTabbed,
       {"set", "tls=true"},
       Replaced(kTabbed, "\t</site>\n</config>", "\t</site>\n\t<tls>true</tls>\n</config>")},
      {"a new value after the last of its item, indented alike",
       kTabbed,
       {"add", "listen=10.0.0.2"},
       Replaced(kTabbed, "\t<listen>10.0.0.1</listen>\n",
                "\t<listen>10.0.0.1</listen>\n\t<listen>10.0.0.2</listen>\n")},
      {"a structure as an indented block",
       kTabbed,
       {"add", "site=c"},
       Replaced(kTabbed, "\t\t<id>b</id>\n\t</site>\n",
                "\t\t<id>b</id>\n\t</site>\n\t<site>\n\t\t<id>c</id>\n\t</site>\n")},
      {"a structure three deep, made on the way",
       kTabbed,
       {"add", "site[a]/route[x]/rule[n]/weight=2"},
       Replaced(kTabbed, "</rule>\n",
                "</rule>\n\t\t\t<rule>\n\t\t\t\t<match>n</match>\n\t\t\t\t<weight>2</weight>\n"
                "\t\t\t</rule>\n")},
      {"a structure with its lines",
       kTabbed,
       {"del", "site[b]"},
       Replaced(kTabbed, "\t<site>\n\t\t<id>b</id>\n\t</site>\n", "")},
      {"an element sharing its line, exactly",
       kTabbed,
       {"del", "site[a]/route[x]/rule[m]/weight"},
       Replaced(kTabbed, "<weight>1</weight>", "")},
      {"a line with a comment after the element, exactly",
       kTabbed,
       {"del", "port"},
       Replaced(kTabbed, "<port>8080</port>", "")},
      {"CRLF kept",
       crlf,
       {"add", "listen=10.0.0.2"},
       Replaced(crlf, "</listen>\r\n", "</listen>\r\n  <listen>10.0.0.2</listen>\r\n")},
      {"no final newline kept",
       unfinished,
       {"set", "port=2", "tls=TRUE"},
       "<config>\n  <port>2</port>\n  <tls>TRUE</tls>\n</config>"},
      {"values on one line",
       "<config><port>1</port><tls>FALSE</tls></config>",
       {"add", "listen=::1"},
       "<config><port>1</port><tls>FALSE</tls><listen>::1</listen></config>"},
      {"a self-closing root opened",
       "<config//>\n",
       {"set", "port=1"},
       "<config>\n  <port>1</port>\n</config>\n"},
      {"a self-closing root with attributes keeps them",
       "<config a='x/' b=\">\" />\n",
       {"set", "port=1"},
       "<config a='x/' b=\">\">\n  <port>1</port>\n</config>\n"},
      {"a self-closing root whose name holds a quote becomes <config>",
       "<c\"x\"/>\n",
       {"set", "port=1"},
       "<config>\n  <port>1</port>\n</config>\n"},
      {"an empty root on one line",
       "<config></config>",
       {"add", "listen=10.0.0.1"},
       "<config>\n  <listen>10.0.0.1</listen>\n</config>"},
      {"a comment inside the element stays",
       "<config><port><!-- p -->80</port></config>",
       {"set", "port=81"},
       "<config><port><!-- p -->81</port></config>"},
      {"several changes, one after the other",
       kTabbed,
       {"set", "port=1", "site[b]/port=2", "site[b]/port=3"},
       Replaced(Replaced(kTabbed, "8080", "1"), "\t\t<id>b</id>\n",
                "\t\t<id>b</id>\n\t\t<port>3</port>\n")},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const std::string data = TempPath("data.conf");
    WriteFile(data, row.before);
    const ProgramRun run = Edit(row.args, data);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(data), row.after);
    EXPECT_FALSE(FileExists(data + ".lock"));
  }
}

// What cannot be done in place is refused with the file as it was; a
// rewrite and a new file take the writer's form.
TEST(EditInPlaceTest, RefusalsRewritesAndNewFiles) {
  const std::string keyed = "<config>\n  <site><id>a</id></site>\n</config>\n";
  const struct {
    const char *name;
    std::string before;  // empty: no file
    std::vector<std::string> args;
    int status;
    std::string after;  // the file afterwards; empty: as before
    const char *message;
  } rows[] = {
      {"a structure left empty does not read back",
       keyed,
       {"del", "site[a]/id"},
       4,
       "",
       "would not read back"},
      {"a missing file", "", {"set", "port=1"}, 3, "", "--create makes it"},
      {"--create",
       "",
       {"set", "port=1", "--create"},
       0,
       "<config>\n  <port>1</port>\n</config>\n",
       ""},
      {"--rewrite",
       kTabbed,
       {"set", "port=1", "--rewrite"},
       0,
       "<config>\n  <port>1</port>\n  <listen>10.0.0.1</listen>\n",
       ""},
      {"a zero byte",
       std::string("<config><port>1</port>\0</config>", 32),
       {"set", "port=2"},
       3,
       "",
       "zero byte"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    const std::string data = TempPath("data.conf");
    std::filesystem::remove(Native(data));
    if (!row.before.empty()) WriteFile(data, row.before);
    const ProgramRun run = Edit(row.args, data);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    const std::string now = FileExists(data) ? ReadFile(data) : "";
    if (row.after.empty()) {
      EXPECT_EQ(now, row.before);
    } else {
      EXPECT_EQ(now.substr(0, row.after.size()), row.after);
    }
  }
}

// A no-op leaves the file alone; another edit's lock makes an edit wait and
// then fail as busy.
TEST(EditInPlaceTest, NoOpWritesNothingAndALockedFileIsBusy) {
  const std::string data = TempPath("data.conf");
  WriteFile(data, kTabbed);
  const auto path = Native(data);
  const auto time = std::filesystem::last_write_time(path) - std::chrono::hours(1);
  std::filesystem::last_write_time(path, time);
#ifndef _WIN32
  struct stat before {};
  ASSERT_EQ(stat(data.c_str(), &before), 0);
#endif
  for (const char *change : {"port=8080", "port=0x1F90", "listen=10.0.0.1"}) {
    EXPECT_EQ(Tool({"set", Definition(), data, change}).status, 0) << change;
  }
  EXPECT_EQ(ReadFile(data), kTabbed);
  EXPECT_EQ(std::filesystem::last_write_time(path), time);
#ifndef _WIN32
  struct stat after {};
  ASSERT_EQ(stat(data.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
#endif

  WriteFile(data + ".lock", "");
#ifdef _WIN32
  _putenv_s("QORVCFG_LOCK_WAIT_MS", "200");
#else
  setenv("QORVCFG_LOCK_WAIT_MS", "200", 1);
#endif
  const ProgramRun busy = Tool({"set", Definition(), data, "port=1"});
#ifdef _WIN32
  _putenv_s("QORVCFG_LOCK_WAIT_MS", "");
#else
  unsetenv("QORVCFG_LOCK_WAIT_MS");
#endif
  EXPECT_EQ(busy.status, 4);
  EXPECT_NE(busy.err.find("busy"), std::string::npos) << busy.err;
  EXPECT_EQ(ReadFile(data), kTabbed);
  EXPECT_TRUE(FileExists(data + ".lock"));  // another edit's lock is left alone
}

#ifndef _WIN32
// The mode, and a symbolic link, survive an edit.
TEST(EditInPlaceTest, ModeAndLinkSurvive) {
  const std::string target = TempPath("target.conf");
  const std::string link = TempPath("link.conf");
  WriteFile(target, kTabbed);
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  std::filesystem::remove(link);
  std::filesystem::create_symlink(target, link);
  const ProgramRun run = Tool({"set", Definition(), link, "port=1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFile(target), Replaced(kTabbed, "8080", "1"));
  struct stat info {};
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}
#endif

// Twenty editors adding at once: each one that says it added its value
// finds it in the file, and nothing else is lost.
TEST(EditInPlaceTest, ConcurrentAddsLoseNothing) {
  const std::string data = TempPath("data.conf");
  WriteFile(data, kTabbed);
  constexpr int kEditors = 20;
  std::vector<ProgramRun> runs(kEditors);
  std::vector<std::string> tags(kEditors);
  for (int i = 0; i < kEditors; ++i) tags[i] = "." + std::to_string(i);
  // Paths are made here: the runs on other threads only start processes.
  const std::string definition = Definition();
  (void)TempPath("stdout");
  std::vector<std::thread> threads;
  for (int i = 0; i < kEditors; ++i) {
    threads.emplace_back([&, i] {
      runs[i] = Tool({"add", definition, data, "listen=10.0.9." + std::to_string(i)}, "", tags[i]);
    });
  }
  for (std::thread &thread : threads) thread.join();
  const ProgramRun listed = Tool({"get", definition, data, "listen"});
  std::set<std::string> held;
  for (std::size_t at = 0, end; (end = listed.out.find('\n', at)) != std::string::npos;
       at = end + 1) {
    held.insert(listed.out.substr(at, end - at));
  }
  EXPECT_TRUE(held.count("10.0.0.1"));
  int added = 0;
  for (int i = 0; i < kEditors; ++i) {
    EXPECT_TRUE(runs[i].status == 0 || runs[i].status == 4) << runs[i].err;
    const bool there = held.count("10.0.9." + std::to_string(i)) != 0;
    EXPECT_EQ(there, runs[i].status == 0) << i;
    added += there;
  }
  EXPECT_EQ(added, kEditors);  // ten seconds of waiting are enough for all
  EXPECT_EQ(held.size(), static_cast<std::size_t>(kEditors + 1));
}

}  // namespace
}  // namespace qorvcfg::test
