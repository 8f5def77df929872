// Handles created from definition files, and the grammar of data files derived
// from their items: failures leave nothing behind and hand nothing out.
#include <gtest/gtest.h>

#include <string>

#include "definition/definition.h"
#include "platform/platform.h"
#include "support/definition_text.h"
#include "support/fault_sweep.h"

namespace qorvcfg {
namespace {

using test::CreateFromText;
using test::SweepAllocationFailures;

// Every type; defaults that need copies or fallbacks; structures two deep.
const char kDefinition[] = R"(<config_define><name>all</name><dispstring>All</dispstring>
  <item><name>p</name><type>integer</type><number>0</number><minimum>0</minimum>
    <maximum>99</maximum><default>4</default></item>
  <item><name>q</name><type>structure</type><number>2</number>
    <item><name>r</name><type>integer</type><identifier>TRUE</identifier></item>
    <item><name>s</name><type>string</type><maximum>8</maximum><necessity>FALSE</necessity>
      <default>text</default></item><item><name>in</name><type>structure</type><item>
      <name>e2</name><type>enumeration</type><enum><x>X</x></enum></item></item></item>
  <item><name>t</name><type>enumeration</type><enum><red>R</red><green>G</green></enum>
    <default>blue</default></item><item><name>u</name></item>
  <item><name>v</name><type>boolean</type></item><item><name>w</name><type>ipaddr</type>
    <default>gateway</default></item>
  <item><name>pad</name><type>string</type><minimum>2</minimum></item>
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
  const std::string path = test::TempPath("definition.xml");
  test::WriteFile(path, kDefinition);
  // A failure inside conversion only drops that element; one while building
  // an item fails the whole call, as does failing everything from some point on.
  for (test::FailMode mode : {test::FailMode::kOnlyNth, test::FailMode::kNthAndAfter}) {
    ConfigHandle *handle = kUntouched;
    const std::uint64_t made =
        SweepAllocationFailures([&] { return Zel_ConfigCreate(path.c_str(), &handle); },
                                [&](ResultCode result, bool injected) {
                                  if (result == Zel_OK) {
                                    ASSERT_NE(handle, kUntouched);
                                    EXPECT_TRUE(EnumerationDefaultsPresent(handle->items));
                                    EXPECT_TRUE(mode == test::FailMode::kOnlyNth || !injected);
                                    Zel_ConfigDestroy(handle);
                                  } else {
                                    EXPECT_EQ(result, Zel_ENOMEM);
                                    EXPECT_EQ(handle, kUntouched);
                                  }
                                  handle = kUntouched;
                                },
                                mode);
    EXPECT_GT(made, 40u);
  }
}

TEST_F(ConfigHandleTest, UnusableDefinitionsGiveAnEmptyHandleOrNone) {
  for (const char *text : {"",
                           "<config_define><item></item><item><bogus>1</bogus></item>"
                           "<Item><name>a</name></Item><name>1st</name><hidden>maybe</hidden>"
                           "</config_define>"}) {
    ConfigHandle *handle = nullptr;
    ASSERT_EQ(CreateFromText(text, &handle), Zel_OK);
    EXPECT_TRUE(handle->name == nullptr && handle->hidden == 0 && handle->items == nullptr) << text;
    Zel_ConfigDestroy(handle);
  }
  ConfigHandle *handle = kUntouched;
  EXPECT_EQ(CreateFromText("<config_define><item><name>a</name></item><item", &handle), Zel_EINVAL);
  EXPECT_EQ(handle, kUntouched);
}

TEST_F(ConfigHandleTest, StructureWithoutChildrenAnywhereMakesEveryReadFail) {
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(CreateFromText("<config_define><item><name>p</name><type>integer</type></item>"
                           "<item><name>q</name><type>structure</type><item><name>in</name>"
                           "<type>structure</type></item></item></config_define>",
                           &handle),
            Zel_OK);
  EXPECT_EQ(BuildDataGrammar(handle->items), nullptr);
  EXPECT_EQ(Zel_ConfigReadFromData("<config><p>1</p></config>", handle), Zel_ENOMEM);
  EXPECT_EQ(Zel_ConfigRead(test::TempPath("missing.xml").c_str(), handle), Zel_ENOMEM)
      << "fails before opening its input";
  Zel_ConfigDestroy(handle);
}

}  // namespace
}  // namespace qorvcfg
