// The public header must describe the same records to C and to C++: the C
// side is measured in header_c_test.c, compiled as C11.

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>

#include "qorvcfg.h"

extern "C" {
struct LayoutFact {
  const char *name;
  std::size_t value;
};
const LayoutFact *QorvcfgCLayoutFacts(std::size_t *count);
}

namespace {

std::map<std::string, std::size_t> CxxFacts() {
  return {
      {"sizeof(ResultCode)", sizeof(ResultCode)},
      {"sizeof(ItemType)", sizeof(ItemType)},
      {"sizeof(KeywordEntry)", sizeof(KeywordEntry)},
      {"KeywordEntry.text", offsetof(KeywordEntry, text)},
      {"sizeof(IpAddressValue)", sizeof(IpAddressValue)},
      {"IpAddressValue.family", offsetof(IpAddressValue, family)},
      {"IpAddressValue.host_name", offsetof(IpAddressValue, host_name)},
      {"IpAddressValue.address", offsetof(IpAddressValue, address)},
      {"IpAddressValue.mask", offsetof(IpAddressValue, mask)},
      {"sizeof(DataPayload)", sizeof(DataPayload)},
      {"alignof(DataPayload)", alignof(DataPayload)},
      {"sizeof(DataContainer)", sizeof(DataContainer)},
      {"DataContainer.count", offsetof(DataContainer, count)},
      {"DataContainer.items", offsetof(DataContainer, items)},
      {"DataContainer.indexes", offsetof(DataContainer, indexes)},
      {"sizeof(DataRecord)", sizeof(DataRecord)},
      {"DataRecord.payload", offsetof(DataRecord, payload)},
      {"DataRecord.nested", offsetof(DataRecord, nested)},
      {"sizeof(DefaultRecord)", sizeof(DefaultRecord)},
      {"DefaultRecord.payload", offsetof(DefaultRecord, payload)},
      {"sizeof(ItemDefinition)", sizeof(ItemDefinition)},
      {"ItemDefinition.name", offsetof(ItemDefinition, name)},
      {"ItemDefinition.identifier", offsetof(ItemDefinition, identifier)},
      {"ItemDefinition.necessity", offsetof(ItemDefinition, necessity)},
      {"ItemDefinition.hidden", offsetof(ItemDefinition, hidden)},
      {"ItemDefinition.number", offsetof(ItemDefinition, number)},
      {"ItemDefinition.type", offsetof(ItemDefinition, type)},
      {"ItemDefinition.entries", offsetof(ItemDefinition, entries)},
      {"ItemDefinition.default_value", offsetof(ItemDefinition, default_value)},
      {"ItemDefinition.minimum", offsetof(ItemDefinition, minimum)},
      {"ItemDefinition.maximum", offsetof(ItemDefinition, maximum)},
      {"ItemDefinition.children", offsetof(ItemDefinition, children)},
      {"sizeof(ConfigHandle)", sizeof(ConfigHandle)},
      {"ConfigHandle.hidden", offsetof(ConfigHandle, hidden)},
      {"ConfigHandle.items", offsetof(ConfigHandle, items)},
      {"ConfigHandle.data", offsetof(ConfigHandle, data)},
      {"sizeof(ContentEntry)", sizeof(ContentEntry)},
      {"ContentEntry.type", offsetof(ContentEntry, type)},
      {"Zel_EBUSY|32 masked", Zel_EBUSY},
      {"Zel_ESYSTEM|0x3FFFF masked", Zel_ESYSTEM},
      {"Zel_EEOF masked", Zel_EEOF},
  };
}

TEST(PublicHeader, CAndCxxAgreeOnEveryRecord) {
  std::size_t count = 0;
  const LayoutFact *facts = QorvcfgCLayoutFacts(&count);
  const std::map<std::string, std::size_t> expected = CxxFacts();
  EXPECT_EQ(count, expected.size());
  for (std::size_t i = 0; i < count; ++i) {
    const auto found = expected.find(facts[i].name);
    if (found == expected.end()) {
      ADD_FAILURE() << "no C++ counterpart for " << facts[i].name;
      continue;
    }
    EXPECT_EQ(facts[i].value, found->second) << facts[i].name;
  }
}

// Records that a host keeps in arrays or embeds must keep their 64-bit sizes;
// a change here breaks every host built against an earlier header.
TEST(PublicHeader, RecordSizesForHosts) {
  if (sizeof(void *) != 8) GTEST_SKIP() << "sizes are fixed for 64-bit hosts";
  EXPECT_EQ(sizeof(DataRecord), 96u);
  EXPECT_EQ(sizeof(DefaultRecord), 56u);
  EXPECT_EQ(sizeof(ContentEntry), 16u);
  EXPECT_EQ(sizeof(ConfigHandle), 80u);
  EXPECT_EQ(sizeof(ItemDefinition), 144u);
  EXPECT_EQ(sizeof(KeywordEntry), 24u);
}

}  // namespace
