// Texts kept in a value's payload or beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "store/store.h"
#include "support/definition_text.h"

namespace qorvcfg {
namespace {

// Texts around the size that still fits in a value's payload: each is read
// back whole, survives a change and a delete, and nothing is left at destroy.
// A value the host added keeps its text where the host saw it.
TEST(ValueTexts, KeepTheirContentsAtEverySizeAndTheHostsPointers) {
  const std::int64_t live = platform::LiveAllocations();
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(test::CreateFromText(R"(<config_define><item><name>s</name><type>string</type>
      <number>0</number><maximum>100</maximum></item></config_define>)",
                                 &handle),
            Zel_OK);
  std::string data = "<config>";
  const std::vector<std::size_t> sizes = {1, 38, 39, 40, 41, 100};
  for (std::size_t size : sizes) data += "<s>" + std::string(size, 'a' + size % 26) + "</s>";
  ASSERT_EQ(Zel_ConfigReadFromData((data + "</config>").c_str(), handle), Zel_OK);
  DataRecord *records[8] = {};
  std::uint32_t count = 8;
  ASSERT_EQ(Zel_DataGet(handle, "s", records, &count), Zel_OK);
  ASSERT_EQ(count, sizes.size());
  std::vector<std::string> seen;
  for (std::uint32_t i = 0; i < count; ++i) seen.emplace_back(records[i]->payload.text);
  for (std::size_t size : sizes) {
    EXPECT_NE(std::find(seen.begin(), seen.end(), std::string(size, 'a' + size % 26)), seen.end())
        << size;
  }
  // A change replaces a text kept in the payload by a longer one and back.
  const std::string longer(60, 'z');
  ASSERT_EQ(Zel_DataChange(handle, records[0], longer.c_str()), Zel_OK);
  EXPECT_EQ(std::string(records[0]->payload.text), longer);
  ASSERT_EQ(Zel_DataChange(handle, records[0], "short"), Zel_OK);
  EXPECT_STREQ(records[0]->payload.text, "short");
  ASSERT_EQ(Zel_DataDel(handle, records[1]), Zel_OK);

  DataRecord *made = nullptr;
  ASSERT_EQ(Zel_DataDefaultCreate(handle, "s", &made), Zel_OK);
  ASSERT_EQ(Zel_DataChange(handle, made, "held"), Zel_OK);
  const char *held = made->payload.text;
  ASSERT_EQ(Zel_DataAdd(handle, made), Zel_OK);
  EXPECT_EQ(made->payload.text, held);
  Zel_ConfigDestroy(handle);
  EXPECT_EQ(platform::LiveAllocations(), live);
}

}  // namespace
}  // namespace qorvcfg
