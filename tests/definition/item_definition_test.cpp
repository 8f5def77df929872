// Item definitions built from definition files: the value of every field
// when its element is given, out of range, or missing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "definition/definition_text.h"
#include "platform/platform.h"

namespace qorvcfg {
namespace {

using test::CreateFromText;

std::string Keywords(const KeywordEntry *e) {
  std::string out;
  for (; e != nullptr; e = e->next) out += std::string(out.empty() ? "" : ",") + e->keyword;
  return out;
}

struct ItemCase {
  const char *body;  // the item's elements after <name>v</name>
  ItemType type = Zel_TYPE_NONE;
  std::uint32_t number = 1, identifier = 0, necessity = 1, hidden = 0;
  std::int64_t minimum = 0, maximum = 0;
  std::int64_t number_default = 0;     // integer and boolean defaults
  const char *text_default = nullptr;  // string and enumeration defaults
  const char *entries = "";
};

constexpr std::int64_t kMin = INT64_MIN, kMax = INT64_MAX, kLongest = 2147483646;
constexpr ItemType kInt = Zel_TYPE_INTEGER, kStr = Zel_TYPE_STRING, kBool = Zel_TYPE_BOOLEAN,
                   kEnum = Zel_TYPE_ENUMERATION, kStruct = Zel_TYPE_STRUCTURE;
#define RED_GREEN "<enum><red>R</red><green>G</green><red>again</red></enum>"

const ItemCase kItemCases[] = {
    {.body = ""},
    {.body = "<type>Integer</type><minimum>1</minimum>"},  // type words are exact
    {.body = "<number>0</number>", .number = 0},
    {.body = "<number>5</number>", .number = 5},
    {.body = "<number>-1</number>"},
    {.body = "<number>2147483648</number>"},
    {.body = "<number>x</number><number>7</number>", .number = 7},
    {.body = "<type>integer</type>", .type = kInt, .minimum = kMin, .maximum = kMax},
    {.body = "<type>integer</type><minimum>5</minimum><maximum>3</maximum>",
     .type = kInt,
     .minimum = 5,
     .maximum = 5,
     .number_default = 5},
    {.body = "<type>integer</type><minimum>-10</minimum><maximum>-5</maximum>",
     .type = kInt,
     .minimum = -10,
     .maximum = -5},
    {.body = "<type>integer</type><minimum>1</minimum><maximum>10</maximum><default>11</default>",
     .type = kInt,
     .minimum = 1,
     .maximum = 10,
     .number_default = 1},
    {.body = "<type>integer</type><minimum>1</minimum><maximum>10</maximum><default>10</default>",
     .type = kInt,
     .minimum = 1,
     .maximum = 10,
     .number_default = 10},
    {.body = "<type>integer</type><default>-3</default>",
     .type = kInt,
     .minimum = kMin,
     .maximum = kMax,
     .number_default = -3},
    {.body = "<type>integer</type><minimum>3</minimum><default>abc</default>",
     .type = kInt,
     .minimum = 3,
     .maximum = kMax,
     .number_default = 3},
    {.body = "<type>string</type>", .type = kStr, .maximum = kLongest, .text_default = ""},
    {.body = "<type>string</type><default>hello world</default>",
     .type = kStr,
     .maximum = kLongest,
     .text_default = "hello world"},
    {.body = "<type>string</type><minimum>3</minimum>",
     .type = kStr,
     .minimum = 3,
     .maximum = kLongest,
     .text_default = "   "},
    {.body = "<type>string</type><minimum>3</minimum><default>ab</default>",
     .type = kStr,
     .minimum = 3,
     .maximum = kLongest,
     .text_default = "   "},
    {.body = "<type>string</type><maximum>3</maximum><default>hello</default>",
     .type = kStr,
     .maximum = 3,
     .text_default = ""},
    {.body = "<type>string</type><minimum>4</minimum><maximum>2</maximum><default>abcd</default>",
     .type = kStr,
     .minimum = 4,
     .maximum = 4,
     .text_default = "abcd"},
    {.body = "<type>boolean</type><default>tRuE</default>", .type = kBool, .number_default = 1},
    {.body = "<type>boolean</type><default>FALSE</default>", .type = kBool},
    {.body = "<type>boolean</type><default>yes</default>", .type = kBool},
    {.body = "<type>boolean</type><minimum>1</minimum><maximum>9</maximum>", .type = kBool},
    {.body = "<type>enumeration</type>" RED_GREEN "<default>green</default>",
     .type = kEnum,
     .text_default = "green",
     .entries = "red,green"},
    {.body = "<type>enumeration</type>" RED_GREEN "<default>blue</default>",
     .type = kEnum,
     .text_default = "red",
     .entries = "red,green"},
    {.body = "<type>enumeration</type>" RED_GREEN "<default>Green</default>",
     .type = kEnum,
     .text_default = "red",
     .entries = "red,green"},
    {.body = "<type>enumeration</type>" RED_GREEN,
     .type = kEnum,
     .text_default = "red",
     .entries = "red,green"},
    {.body = "<type>enumeration</type><default>red</default>", .type = kEnum},
    {.body = "<type>integer</type>" RED_GREEN, .type = kInt, .minimum = kMin, .maximum = kMax},
    {.body = "<type>structure</type><identifier>TRUE</identifier>", .type = kStruct},
    {.body = "<identifier>TRUE</identifier>"},
    {.body = "<type>integer</type><identifier>TRUE</identifier><necessity>FALSE</necessity>",
     .type = kInt,
     .identifier = 1,
     .minimum = kMin,
     .maximum = kMax},
    {.body = "<type>boolean</type><necessity>FALSE</necessity><hidden>true</hidden>",
     .type = kBool,
     .necessity = 0,
     .hidden = 1},
};

TEST(ItemDefinition, FieldsFollowTheirElementsOrFallBack) {
  for (const ItemCase &c : kItemCases) {
    SCOPED_TRACE(c.body);
    const std::int64_t live = platform::LiveAllocations();
    ConfigHandle *handle = nullptr;
    const std::string text =
        std::string("<config_define><item><name>v</name>") + c.body + "</item></config_define>";
    ASSERT_EQ(CreateFromText(text, &handle), Zel_OK);
    const ItemDefinition *item = handle->items;
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->next, nullptr);
    EXPECT_STREQ(item->name, "v");
    EXPECT_EQ(item->type, c.type);
    EXPECT_EQ(item->number, c.number);
    EXPECT_EQ(item->identifier, c.identifier);
    EXPECT_EQ(item->necessity, c.necessity);
    EXPECT_EQ(item->hidden, c.hidden);
    EXPECT_EQ(item->minimum, c.minimum);
    EXPECT_EQ(item->maximum, c.maximum);
    EXPECT_EQ(Keywords(item->entries), c.entries);
    const DefaultRecord &d = item->default_value;
    EXPECT_EQ(d.type, c.type);
    if (c.type == kInt) {
      EXPECT_EQ(d.payload.integer, c.number_default);
    } else if (c.type == kBool) {
      EXPECT_EQ(d.payload.boolean, c.number_default);
    } else if (c.type == kStr || c.type == kEnum) {
      EXPECT_STREQ(d.payload.text, c.text_default);
    } else {
      EXPECT_EQ(d.payload.integer, 0);
      EXPECT_EQ(d.payload.text, nullptr);
    }
    Zel_ConfigDestroy(handle);
    EXPECT_EQ(platform::LiveAllocations(), live);
  }
}

TEST(ItemDefinition, AddressDefaultsConvertOrStayEmpty) {
  const struct {
    const char *text;
    std::uint16_t form, family;
    const char *host;
    std::uint8_t first, last;  // address bytes 0 and 15
  } cases[] = {
      {"10.1.2.3", Zel_IP_FORM_NUMERIC, Zel_IP_FAMILY_V4, nullptr, 10, 0},
      {"::1", Zel_IP_FORM_NUMERIC, Zel_IP_FAMILY_V6, nullptr, 0, 1},
      {"gateway", Zel_IP_FORM_HOSTNAME, 0, "gateway", 0, 0},
      {"10.1.2.3/8", 0, 0, nullptr, 0, 0},
      {"1.2.3", 0, 0, nullptr, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    ConfigHandle *handle = nullptr;
    ASSERT_EQ(CreateFromText(std::string("<config_define><item><name>a</name><type>ipaddr</type>"
                                         "<default>") +
                                 c.text + "</default></item></config_define>",
                             &handle),
              Zel_OK);
    const IpAddressValue &ip = handle->items->default_value.payload.ipaddr;
    EXPECT_EQ(handle->items->default_value.type, Zel_TYPE_IPADDR);
    EXPECT_EQ(ip.form, c.form);
    EXPECT_EQ(ip.family, c.family);
    EXPECT_STREQ(ip.host_name, c.host);
    EXPECT_EQ(ip.address[0], c.first);
    EXPECT_EQ(ip.address[15], c.last);
    const std::uint8_t zero[16] = {};
    EXPECT_EQ(std::memcmp(ip.mask, zero, 16), 0);
    Zel_ConfigDestroy(handle);
  }
}

TEST(ItemDefinition, ItemsKeepFileOrderAndLaterTwinsAreDropped) {
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(CreateFromText(R"(<config_define>
      <name>cfg</name><description>all of it</description><hidden>TRUE</hidden>
      <item><name>b</name><type>structure</type>
        <item><name>x</name><type>integer</type></item>
        <item><name>y</name></item>
        <item><name>x</name><type>string</type></item>
      </item>
      <item><name>a</name><type>integer</type>
        <item><name>kept</name><type>string</type></item>
      </item>
      <item><name>a</name><type>string</type></item>
      <item><type>string</type></item>
      <item><name>c</name></item>
    </config_define>)",
                           &handle),
            Zel_OK);
  EXPECT_STREQ(handle->name, "cfg");
  EXPECT_STREQ(handle->description, "all of it");
  EXPECT_EQ(handle->dispstring, nullptr);
  EXPECT_EQ(handle->hidden, 1u);
  std::string order;
  for (const ItemDefinition *i = handle->items; i != nullptr; i = i->next) {
    order += i->name != nullptr ? i->name : "-";
  }
  EXPECT_EQ(order, "ba-c") << "an item without a name is kept, with a null name";
  const ItemDefinition *b = handle->items, *a = b->next;
  EXPECT_EQ(a->type, Zel_TYPE_INTEGER);
  ASSERT_NE(b->children, nullptr);
  EXPECT_STREQ(b->children->name, "x");
  EXPECT_EQ(b->children->type, Zel_TYPE_INTEGER);
  ASSERT_NE(b->children->next, nullptr);
  EXPECT_STREQ(b->children->next->name, "y");
  EXPECT_EQ(b->children->next->next, nullptr);
  // Children of an item that is no structure are built and kept.
  ASSERT_NE(a->children, nullptr);
  EXPECT_STREQ(a->children->name, "kept");
  EXPECT_EQ(a->children->type, Zel_TYPE_STRING);

  ContentEntry entries[2] = {};
  std::uint32_t count = 2;
  ASSERT_EQ(Zel_ContentListGet(handle, entries, &count), Zel_OK);
  ASSERT_EQ(count, 4u);
  EXPECT_STREQ(entries[1].name, "a");
  EXPECT_EQ(entries[1].type, Zel_TYPE_INTEGER);
  Zel_ConfigDestroy(handle);
}

}  // namespace
}  // namespace qorvcfg
