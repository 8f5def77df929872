// Creating a handle from a definition file and destroying it: failures leave
// nothing behind and hand nothing out.
#include <gtest/gtest.h>

#include <string>

#include "definition/definition_text.h"
#include "platform/platform.h"
#include "support/fault_sweep.h"

namespace qorvcfg {
namespace {

using test::CreateFromText;
using test::FailMode;

// Every type, defaults that need copies, structures two levels deep.
const char kEveryType[] = R"(<config_define>
  <name>all</name><description>every type</description><dispstring>All</dispstring>
  <hidden>FALSE</hidden>
  <item><name>i</name><type>integer</type><minimum>1</minimum><maximum>9</maximum>
    <default>4</default></item>
  <item><name>s</name><type>string</type><default>text</default></item>
  <item><name>pad</name><type>string</type><minimum>2</minimum></item>
  <item><name>b</name><type>boolean</type><default>TRUE</default></item>
  <item><name>gw</name><type>ipaddr</type><default>gateway</default></item>
  <item><name>lo</name><type>ipaddr</type><default>::1</default></item>
  <item><name>e</name><type>enumeration</type><enum><red>R</red><green>G</green></enum>
    <default>blue</default></item>
  <item><name>st</name><type>structure</type><number>0</number>
    <item><name>k</name><type>integer</type><identifier>TRUE</identifier></item>
    <item><name>in</name><type>structure</type>
      <item><name>e2</name><type>enumeration</type><enum><x>X</x><y>Y</y></enum>
        <default>y</default></item>
      <item><name>n</name><type>string</type></item>
    </item>
  </item>
</config_define>)";

// Every enumeration item with entries has a default, at every depth.
bool EnumerationDefaultsPresent(const ItemDefinition *item) {
  for (; item != nullptr; item = item->next) {
    if (item->entries != nullptr && item->default_value.payload.keyword == nullptr) return false;
    if (!EnumerationDefaultsPresent(item->children)) return false;
  }
  return true;
}

ConfigHandle *const kUntouched = reinterpret_cast<ConfigHandle *>(0x5a5a5a50);

class ConfigHandleTest : public testing::Test {
 protected:
  void SetUp() override { live_ = platform::LiveAllocations(); }
  void TearDown() override { EXPECT_EQ(platform::LiveAllocations(), live_); }
  std::int64_t live_ = 0;
};

TEST_F(ConfigHandleTest, EveryFailedAllocationFailsCleanly) {
  const std::string path = test::TempPath("every_type.xml");
  test::WriteFile(path, kEveryType);
  ConfigHandle *handle = kUntouched;
  auto create = [&] { return Zel_ConfigCreate(path.c_str(), &handle); };
  // Failing everything from some point on always reaches the handle itself.
  const std::uint64_t made = test::SweepAllocationFailures(
      create,
      [&](ResultCode result, bool injected) {
        if (!injected) {
          ASSERT_EQ(result, Zel_OK);
          EXPECT_EQ(std::string(handle->items->next->next->next->next->next->next->name), "e");
          Zel_ConfigDestroy(handle);
          handle = kUntouched;
          return;
        }
        EXPECT_EQ(result, Zel_ENOMEM);
        EXPECT_EQ(handle, kUntouched);
      },
      FailMode::kNthAndAfter);
  EXPECT_GT(made, 50u);
  // A single failure inside conversion only drops that element; one while
  // building an item fails the whole call.
  test::SweepAllocationFailures(create, [&](ResultCode result, bool) {
    if (result == Zel_OK) {
      ASSERT_NE(handle, kUntouched);
      EXPECT_TRUE(EnumerationDefaultsPresent(handle->items));
      Zel_ConfigDestroy(handle);
      handle = kUntouched;
    } else {
      EXPECT_EQ(result, Zel_ENOMEM);
      EXPECT_EQ(handle, kUntouched);
    }
  });
}

TEST_F(ConfigHandleTest, FailedParseHandsNothingOut) {
  const struct {
    const char *what;
    std::string path;
    ResultCode code;
  } cases[] = {
      {"missing file", test::TempPath("absent.xml"), Zel_ESYSTEM | 2},
      {"null path", "", Zel_EINVAL},
      {"tag cut off", test::TempPath("cut.xml"), Zel_EINVAL},
  };
  test::WriteFile(cases[2].path, "<config_define><item><name>a</name></item><item");
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ConfigHandle *handle = kUntouched;
    const char *path = c.path.empty() ? nullptr : c.path.c_str();
    EXPECT_EQ(Zel_ConfigCreate(path, &handle), c.code);
    EXPECT_EQ(handle, kUntouched);
  }
  EXPECT_EQ(Zel_ConfigCreate(cases[0].path.c_str(), nullptr), Zel_EINVAL);
  Zel_ConfigDestroy(nullptr);
}

TEST_F(ConfigHandleTest, DefinitionWithoutUsableItemsGivesAnEmptyHandle) {
  const char *texts[] = {
      "",
      "   \n",
      "<config_define></config_define>",
      "<config_define><item></item><item><bogus>1</bogus></item><Item><name>a</name></Item>"
      "<name>1st</name><hidden>maybe</hidden></config_define>",
  };
  for (const char *text : texts) {
    SCOPED_TRACE(text);
    ConfigHandle *handle = nullptr;
    ASSERT_EQ(CreateFromText(text, &handle), Zel_OK);
    EXPECT_EQ(handle->name, nullptr);
    EXPECT_EQ(handle->description, nullptr);
    EXPECT_EQ(handle->dispstring, nullptr);
    EXPECT_EQ(handle->hidden, 0u);
    EXPECT_EQ(handle->items, nullptr);
    EXPECT_EQ(handle->data.count, 0u);
    std::uint32_t count = 7;
    EXPECT_EQ(Zel_ContentListGet(handle, nullptr, &count), Zel_EINVAL);
    EXPECT_EQ(count, 7u);
    Zel_ConfigDestroy(handle);
  }
}

TEST_F(ConfigHandleTest, HandlesFromOneFileAreIndependent) {
  const std::string path = test::TempPath("shared.xml");
  test::WriteFile(path, kEveryType);
  ConfigHandle *first = nullptr, *second = nullptr;
  ASSERT_EQ(Zel_ConfigCreate(path.c_str(), &first), Zel_OK);
  ASSERT_EQ(Zel_ConfigCreate(path.c_str(), &second), Zel_OK);
  EXPECT_NE(first->items, second->items);
  EXPECT_NE(first->items->name, second->items->name);
  ASSERT_EQ(Zel_ConfigReadFromData("<config><i>5</i></config>", first), Zel_OK);
  std::uint32_t count = 0;
  EXPECT_EQ(Zel_DataGet(second, "i", nullptr, &count), Zel_OK);
  EXPECT_EQ(count, 0u);
  Zel_ConfigDestroy(first);

  ASSERT_EQ(Zel_ConfigReadFromData("<config><i>6</i><i>7</i></config>", second), Zel_OK);
  DataRecord *records[2] = {};
  count = 2;
  ASSERT_EQ(Zel_DataGet(second, "i", records, &count), Zel_OK);
  ASSERT_EQ(count, 1u) << "number 1";
  EXPECT_EQ(records[0]->payload.integer, 6);
  Zel_ConfigDestroy(second);
}

TEST_F(ConfigHandleTest, DestroyReleasesEveryValueItEverHeld) {
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(CreateFromText(kEveryType, &handle), Zel_OK);
  ASSERT_EQ(Zel_ConfigReadFromData("<config><s>words</s><gw>example</gw>"
                                   "<st><k>1</k><in><e2>x</e2><n>deep</n></in></st>"
                                   "<st><k>2</k><in><n>other</n></in></st></config>",
                                   handle),
            Zel_OK);
  DataRecord *unused = nullptr, *st = nullptr, *k = nullptr, *in = nullptr, *gone = nullptr;
  ASSERT_EQ(Zel_DataDefaultCreate(handle, "e", &unused), Zel_OK);
  ASSERT_EQ(Zel_DataDefaultCreate(handle, "st", &st), Zel_OK);
  ASSERT_EQ(Zel_DataDefaultCreateFromData(st, "k", &k), Zel_OK);
  ASSERT_EQ(Zel_DataDefaultCreateFromData(st, "in", &in), Zel_OK);
  ASSERT_EQ(Zel_DataAddToData(st, k), Zel_OK);
  ASSERT_EQ(Zel_DataAdd(handle, st), Zel_OK);
  std::uint32_t count = 1;
  ASSERT_EQ(Zel_DataGet(handle, "s", &gone, &count), Zel_OK);
  ASSERT_EQ(Zel_DataDel(handle, gone), Zel_OK);
  count = 0;
  EXPECT_EQ(Zel_DataGet(handle, "st", nullptr, &count), Zel_OK);
  EXPECT_EQ(count, 3u);
  Zel_ConfigDestroy(handle);  // the fixture checks that nothing is left
}

}  // namespace
}  // namespace qorvcfg
