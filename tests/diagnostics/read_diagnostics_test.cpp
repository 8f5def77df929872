// What the observed reads report: every element left out or repaired, with
// the line and column (in bytes) of its start tag, while the reads answer
// and keep exactly what the plain reads do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qorvcfg.h"
#include "qorvcfg_diagnostics.h"
#include "support/test_files.h"

namespace qorvcfg::test {
namespace {

// "kind line:col[ after line:col] message", one per report.
void Collect(void *context, const QorvcfgDiagnostic *d) {
  std::string text =
      std::to_string(d->kind) + " " + std::to_string(d->line) + ":" + std::to_string(d->column);
  if (d->related_line != 0) {
    text += " after " + std::to_string(d->related_line) + ":" + std::to_string(d->related_column);
  }
  static_cast<std::vector<std::string> *>(context)->push_back(text + " " + d->message);
}

const char kDefinition[] =
    "<config_define>\n"
    "<item><name>port</name><type>integer</type><number>2</number>"
    "<minimum>1</minimum><maximum>65535</maximum></item>\n"
    "<item><name>level</name><type>enumeration</type>"
    "<enum><debug/><info/><warning/><error/></enum><default>verbose</default></item>\n"
    "<item><type>integer</type></item>\n"
    "<item><name>odd</name><type>float</type></item>\n"
    "<item><name>lim</name><type>integer</type><minimum>5</minimum><maximum>3</maximum>"
    "<default>x</default></item>\n"
    "<item><name>route</name><type>structure</type><number>0</number>\n"
    "  <item><name>id</name><type>integer</type><identifier>TRUE</identifier></item>\n"
    "  <item><name>gw</name><type>ipaddr</type></item>\n"
    "</item>\n"
    "<item><name>flag</name><type>boolean</type></item>\n"
    "<item><name>text</name><type>string</type><maximum>3</maximum></item>\n"
    "<bogus>1</bogus>\n"
    "</config_define>\n";

ConfigHandle *Create(std::vector<std::string> *reports) {
  const std::string path = TempPath("definition");
  WriteFile(path, kDefinition);
  ConfigHandle *handle = nullptr;
  EXPECT_EQ(Qorvcfg_ConfigCreateObserved(path.c_str(), &handle, Collect, reports), Zel_OK);
  return handle;
}

TEST(ReadDiagnostics, DefinitionMistakesAndRepairs) {
  std::vector<std::string> reports;
  ConfigHandle *handle = Create(&reports);
  const std::vector<std::string> expected = {
      "3 5:23 type: 'float' is not one of integer, string, boolean, ipaddr, enumeration, "
      "structure",
      "1 13:1 bogus: no such item at this level",
      "14 3:95 item 'level': default 'verbose' names no word",
      "12 4:1 item without a usable name; no value can name it",
      "11 5:1 item 'odd': no known type word; it takes no values",
      "13 6:63 item 'lim': maximum 3 below minimum 5; maximum taken as 5",
      "14 6:83 item 'lim': default 'x' does not convert",
  };
  EXPECT_EQ(reports, expected);
  Zel_ConfigDestroy(handle);
}

TEST(ReadDiagnostics, DataMistakesWithTheirPlaces) {
  std::vector<std::string> ignored;
  ConfigHandle *handle = Create(&ignored);
  const std::string data =
      "<config>\n"
      "<port>99999</port>\n"
      "<port>80</port>\n"
      "  <port>80</port>\n"
      "<level>verbose</level>\n"
      "<level>info</level><level>debug</level>\n"
      "<nosuch>1</nosuch>\n"
      "<route><id>1</id><gw>10.0.0.1</gw></route>\n"
      "<route><gw>10.0.0.2</gw><id>1</id></route>\n"
      "<route><gw>1.2.3</gw></route>\n"
      "<flag>yes</flag><text>abcd</text><port>abc</port>\n"
      "<!-- a > b -->\n"
      "<port>7</prt>\n"
      "</config>\n"
      "<extra><x/></extra>\n"
      "trailing";
  std::vector<std::string> reports;
  EXPECT_EQ(Qorvcfg_ConfigReadFromDataObserved(data.c_str(), handle, Collect, &reports), Zel_OK);
  const std::vector<std::string> expected = {
      "3 2:1 port: '99999' out of bounds 1..65535",
      "4 4:3 after 3:1 port: equal to an earlier sibling",
      "3 5:1 level: 'verbose' is not one of debug, info, warning, error",
      "2 6:20 level: number of values 1 reached",
      "1 7:1 nosuch: no such item at this level",
      "4 9:1 after 8:1 route: equal to an earlier sibling",
      "3 10:8 gw: '1.2.3' is not an address",
      "5 10:1 route: none of its children was accepted",
      "3 11:1 flag: 'yes' is not TRUE or FALSE",
      "3 11:17 text: 'abcd' text length out of bounds 0..3",
      "3 11:34 port: 'abc' is not an integer",
      "9 12:1 a comment that holds '>' ends there: the rest is read as markup",
      "6 13:8 end tag </prt> closes <port>",
      "8 15:1 element <extra> outside the root element",
      "8 16:1 text outside the root element",
  };
  EXPECT_EQ(reports, expected);
  Zel_ConfigDestroy(handle);
}

// Open elements at the end, an input without elements, and a file read: the
// observed reads answer what the plain ones answer.
TEST(ReadDiagnostics, UnclosedEmptyAndFiles) {
  std::vector<std::string> ignored;
  ConfigHandle *handle = Create(&ignored);
  const struct {
    const char *data;
    ResultCode result;
    std::vector<std::string> reports;
  } rows[] = {
      {"<config>\n <route><id>3</id>",
       Zel_OK,
       {"7 1:1 <config> still open at the end of input",
        "7 2:2 <route> still open at the end of input"}},
      {" \n", Zel_OK, {"10 0:0 the input holds no element"}},
      {"<config><port>5</port>\n<", Zel_EINVAL, {}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.data);
    for (bool file : {false, true}) {
      std::vector<std::string> reports;
      const std::string path = TempPath("data");
      WriteFile(path, row.data);
      EXPECT_EQ(file ? Qorvcfg_ConfigReadObserved(path.c_str(), handle, Collect, &reports)
                     : Qorvcfg_ConfigReadFromDataObserved(row.data, handle, Collect, &reports),
                row.result);
      EXPECT_EQ(reports, row.reports);
      for (std::uint32_t i = 0; i < 2; ++i) {  // what was read goes, so the next read may load it
        (void)Zel_ConfigReadFromData("<config><port>1</port><port>1</port></config>", handle);
        (void)Zel_ConfigReadFromData("<config><port>1</port></config>", handle);
      }
    }
  }
  // A read that reports where values came from needs somewhere to send them.
  EXPECT_EQ(
      Qorvcfg_ConfigReadFromDataSpans("<config/>", handle, nullptr, nullptr, nullptr, nullptr),
      Zel_EINVAL);
  Zel_ConfigDestroy(handle);
}

}  // namespace
}  // namespace qorvcfg::test
