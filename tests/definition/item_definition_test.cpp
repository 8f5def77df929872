// Item definitions built from definition files: the value of every field
// when its element is given, out of range, or missing.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "support/definition_text.h"

namespace qorvcfg {
namespace {

// Each item as "name:type" and the fields not at their fallback value; a
// missing name shows as "-", children follow in parentheses.
std::string Chain(const ItemDefinition *i) {
  const char *types[] = {"none", "integer", "string", "boolean", "ipaddr", "enum", "structure"};
  auto bound = [](std::int64_t v) {
    return v == INT64_MIN ? std::string("min") : v == INT64_MAX ? "max" : std::to_string(v);
  };
  std::string out;
  for (; i != nullptr; i = i->next) {
    const DataPayload &d = i->default_value.payload;
    out += std::string(out.empty() ? "" : ", ") + (i->name ? i->name : "-") + ":" + types[i->type];
    if (i->default_value.type != i->type) out += " default-type?";
    if (i->number != 1) out += " x" + std::to_string(i->number);
    if (i->identifier != 0) out += " id";
    if (i->necessity != 1) out += " optional";
    if (i->hidden != 0) out += " hidden";
    if (i->minimum || i->maximum) out += " " + bound(i->minimum) + ".." + bound(i->maximum);
    if (i->type == Zel_TYPE_INTEGER) out += " =" + std::to_string(d.integer);
    if (i->type == Zel_TYPE_BOOLEAN) out += " =" + std::to_string(d.boolean);
    if (i->type == Zel_TYPE_STRING || i->type == Zel_TYPE_ENUMERATION) {
      out += d.text != nullptr ? " '" + std::string(d.text) + "'" : " null";
    }
    if (i->type == Zel_TYPE_IPADDR && d.ipaddr.form == Zel_IP_FORM_HOSTNAME) {
      out += " " + std::string(d.ipaddr.host_name);
    } else if (i->type == Zel_TYPE_IPADDR && d.ipaddr.form == Zel_IP_FORM_NUMERIC) {
      out += " v" + std::to_string(d.ipaddr.family) + "." + std::to_string(d.ipaddr.address[0]) +
             "." + std::to_string(d.ipaddr.address[15]);
    }
    for (const KeywordEntry *e = i->entries; e != nullptr; e = e->next) {
      out += " {" + std::string(e->keyword) + "}";
    }
    if (i->children != nullptr) out += " (" + Chain(i->children) + ")";
  }
  return out;
}

TEST(ItemDefinition, FieldsFollowTheirElementsOrFallBack) {
  const std::string rg = "<enum><red>R</red><green>G</green><red>again</red></enum>";
  const struct {
    std::string type;  // the word of the item's type element, if any
    std::string rest;  // the elements after it
    const char *chain;
  } cases[] = {
      {"", "", "none"},
      {"Integer", "<minimum>1</minimum>", "none"},  // type words are exact
      {"", "<number>0</number>", "none x0"},
      {"", "<number>-1</number>", "none"},
      {"", "<number>2147483648</number>", "none"},
      {"", "<number>x</number><number>7</number>", "none x7"},
      {"integer", "", "integer min..max =0"},
      {"integer", "<minimum>5</minimum><maximum>3</maximum>", "integer 5..5 =5"},
      {"integer", "<minimum>-10</minimum><maximum>-5</maximum>", "integer -10..-5 =0"},
      {"integer", "<minimum>1</minimum><maximum>10</maximum><default>11</default>",
       "integer 1..10 =1"},
      {"integer", "<minimum>1</minimum><maximum>10</maximum><default>10</default>",
       "integer 1..10 =10"},
      {"integer", rg, "integer min..max =0"},
      {"string", "", "string 0..2147483646 ''"},
      {"string", "<minimum>3</minimum>", "string 3..2147483646 '   '"},
      {"string", "<minimum>3</minimum><default>ab</default>", "string 3..2147483646 '   '"},
      {"string", "<maximum>3</maximum><default>hello</default>", "string 0..3 ''"},
      {"string", "<minimum>4</minimum><maximum>2</maximum><default>abcd</default>",
       "string 4..4 'abcd'"},
      {"boolean", "<default>tRuE</default>", "boolean =1"},
      {"boolean", "<default>yes</default><minimum>1</minimum><maximum>9</maximum>", "boolean =0"},
      {"enumeration", rg + "<default>green</default>", "enum 'green' {red} {green}"},
      {"enumeration", rg + "<default>blue</default>", "enum 'red' {red} {green}"},
      {"enumeration", rg + "<default>Green</default>", "enum 'red' {red} {green}"},
      {"enumeration", "<default>red</default>", "enum null"},
      {"ipaddr", "<default>10.1.2.3</default>", "ipaddr v4.10.0"},
      {"ipaddr", "<default>::1</default>", "ipaddr v6.0.1"},
      {"ipaddr", "<default>gateway</default>", "ipaddr gateway"},
      {"ipaddr", "<default>10.1.2.3/8</default>", "ipaddr"},
      {"", "<identifier>TRUE</identifier>", "none"},
      {"integer", "<identifier>TRUE</identifier><necessity>FALSE</necessity>",
       "integer id min..max =0"},
      {"boolean", "<necessity>FALSE</necessity><hidden>true</hidden>",
       "boolean optional hidden =0"},
      // Later twins among children are dropped.
      {"structure",
       "<identifier>TRUE</identifier><item><name>x</name><type>boolean</type></item>"
       "<item><name>y</name></item><item><name>x</name><type>string</type></item>",
       "structure (x:boolean =0, y:none)"},
  };
  for (const auto &c : cases) {
    const std::int64_t live = platform::LiveAllocations();
    const std::string body = (c.type.empty() ? "" : "<type>" + c.type + "</type>") + c.rest;
    ConfigHandle *handle = nullptr;
    ASSERT_EQ(
        test::CreateFromText(
            "<config_define><item><name>v</name>" + body + "</item></config_define>", &handle),
        Zel_OK);
    EXPECT_EQ(Chain(handle->items), "v:" + std::string(c.chain)) << body;
    Zel_ConfigDestroy(handle);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

TEST(ItemDefinition, HeaderAndItemsInFileOrderWithoutLaterTwins) {
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(test::CreateFromText(
                "<config_define><name>cfg</name><description>all of it</description>"
                "<hidden>TRUE</hidden><item><name>a</name><type>boolean</type><item>"
                "<name>kept</name></item></item><item><name>a</name><type>string</type></item>"
                "<item><type>boolean</type></item><item><name>c</name></item></config_define>",
                &handle),
            Zel_OK);
  EXPECT_EQ(std::string(handle->name) + "|" + handle->description, "cfg|all of it");
  EXPECT_TRUE(handle->dispstring == nullptr && handle->hidden == 1u);
  // Children of an item that is no structure are kept too.
  EXPECT_EQ(Chain(handle->items), "a:boolean =0 (kept:none), -:boolean =0, c:none");
  Zel_ConfigDestroy(handle);
}

}  // namespace
}  // namespace qorvcfg
