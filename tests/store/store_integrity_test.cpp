// Call sequences that must leave every value in exactly one place: acting on
// a value through a sibling structure, removing one of two stored values that
// compare equal, and a structure that does not compare equal to itself.
// Destroying each handle at the end lets the sanitizers see double frees.
#include <gtest/gtest.h>

#include "e2e/config_helpers.h"
#include "support/definition_text.h"
#include "support/store_invariants.h"

namespace qorvcfg::test {
namespace {

// u: members a, no identifier; r: identifier id and members m.
HandlePtr Open(const char *data) {
  ConfigHandle *handle = nullptr;
  EXPECT_EQ(CreateFromText(R"(<config_define>
      <item><name>u</name><type>structure</type><number>0</number>
        <item><name>a</name><type>integer</type><number>0</number></item></item>
      <item><name>r</name><type>structure</type><number>0</number>
        <item><name>id</name><type>integer</type><identifier>TRUE</identifier></item>
        <item><name>m</name><type>integer</type><number>0</number></item></item>
      </config_define>)",
                           &handle),
            Zel_OK);
  EXPECT_EQ(Zel_ConfigReadFromData(data, handle), Zel_OK) << data;
  return HandlePtr(handle, &Zel_ConfigDestroy);
}

DataRecord *Member(DataRecord *structure, const char *name, std::int64_t value) {
  for (DataRecord *record : Values(nullptr, name, structure)) {
    if (record->payload.integer == value) return record;
  }
  ADD_FAILURE() << "no member " << name << "=" << value;
  return nullptr;
}

// Deleting or changing it there is foreign; adding it there adds a value that
// is already added.
TEST(StoreIntegrity, ValueOfASiblingStructureIsRefused) {
  const std::int64_t seven = 7;
  const struct {
    const char *call;
    ResultCode (*run)(DataRecord *parent, DataRecord *value, const std::int64_t *data);
    ResultCode expected;
  } calls[] = {
      {"del",
       [](DataRecord *p, DataRecord *v, const std::int64_t *) { return Zel_DataDelFromData(p, v); },
       Zel_EFOREIGN},
      {"change",
       [](DataRecord *p, DataRecord *v, const std::int64_t *d) {
         return Zel_DataChangeToData(p, v, d);
       },
       Zel_EFOREIGN},
      {"add",
       [](DataRecord *p, DataRecord *v, const std::int64_t *) { return Zel_DataAddToData(p, v); },
       Zel_EEXIST},
  };
  for (const auto &c : calls) {
    SCOPED_TRACE(c.call);
    HandlePtr config = Open("<config><r><id>1</id><m>5</m></r><r><id>2</id><m>6</m></r></config>");
    const std::vector<DataRecord *> r = Values(config.get(), "r");  // id 2 first
    ASSERT_EQ(r.size(), 2u);
    DataRecord *m = Member(r[0], "m", 6);
    const std::string before = ConfigText(config.get());
    EXPECT_EQ(c.run(r[1], m, &seven), c.expected);
    EXPECT_EQ(ConfigText(config.get()), before);
    EXPECT_EQ(StoreInvariantViolation(config.get()), "");
    EXPECT_EQ(Zel_DataDelFromData(r[0], m), Zel_OK);  // where it lives
    EXPECT_EQ(StoreInvariantViolation(config.get()), "");
  }
}

// A member change does not move its structure, so two stored structures can
// come to compare equal; deleting either takes out that one only.
TEST(StoreIntegrity, DeletesExactlyTheValueAmongEqualOnes) {
  for (int deleted : {0, 1}) {
    SCOPED_TRACE(deleted);
    HandlePtr config = Open("<config><u><a>1</a></u><u><a>2</a></u></config>");
    std::vector<DataRecord *> u = Values(config.get(), "u");
    ASSERT_EQ(u.size(), 2u);
    const std::int64_t one = 1;
    DataRecord *second = Values(nullptr, "a", u[0]).at(0)->payload.integer == 2 ? u[0] : u[1];
    ASSERT_EQ(Zel_DataChangeToData(second, Member(second, "a", 2), &one), Zel_OK);
    DataRecord *gone = u[deleted];
    ASSERT_EQ(Zel_DataDel(config.get(), gone), Zel_OK);
    const std::vector<DataRecord *> left = Values(config.get(), "u");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], u[1 - deleted]);
    EXPECT_EQ(StoreInvariantViolation(config.get()), "");
    EXPECT_EQ(Zel_DataDel(config.get(), gone), Zel_OK);  // unlinked: nothing to do
    EXPECT_EQ(Zel_DataDel(config.get(), left[0]), Zel_OK);
    EXPECT_TRUE(Values(config.get(), "u").empty());
    EXPECT_EQ(StoreInvariantViolation(config.get()), "");
  }
}

// Two members of one item: the structure compares unequal to itself, yet it
// can be changed in place and deleted.
TEST(StoreIntegrity, StructureUnequalToItselfCanBeChangedAndDeleted) {
  HandlePtr config = Open("<config><u><a>1</a><a>2</a></u></config>");
  DataRecord *u = Values(config.get(), "u").at(0);
  int slot = 0;
  EXPECT_EQ(Zel_DataChange(config.get(), u, &slot), Zel_OK);
  EXPECT_EQ(StoreInvariantViolation(config.get()), "");
  EXPECT_EQ(Zel_DataDel(config.get(), u), Zel_OK);
  EXPECT_TRUE(Values(config.get(), "u").empty());
  EXPECT_EQ(StoreInvariantViolation(config.get()), "");
  EXPECT_EQ(Zel_DataAdd(config.get(), u), Zel_OK);
  EXPECT_EQ(Values(config.get(), "u").size(), 1u);
}

// Reading leaves out a structure that its index would refuse as equal to an
// earlier sibling (each member of the earlier one meets an equal first
// counterpart in the later one), like any repeated sibling, instead of
// failing while loading; in the other order both are kept, as adding them
// through the interface would.
TEST(StoreIntegrity, ReadLeavesOutOnlyStructuresTheIndexWouldRefuse) {
  const struct {
    const char *text;
    std::size_t kept;
  } rows[] = {
      {"<config><u><a>1</a></u><u><a>1</a><a>2</a></u></config>", 1},
      {"<config><u><a>1</a><a>2</a></u><u><a>1</a></u></config>", 2},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.text);
    HandlePtr config = Open("<config><r><id>1</id></r></config>");
    EXPECT_EQ(Zel_ConfigReadFromData(row.text, config.get()), Zel_OK);
    EXPECT_EQ(Values(config.get(), "u").size(), row.kept);
    EXPECT_EQ(Values(config.get(), "r").size(), 1u);
    EXPECT_EQ(StoreInvariantViolation(config.get()), "");
  }
}

// Structures added through the interface come back whole from their file.
TEST(StoreIntegrity, AddedStructuresReadBackWhole) {
  HandlePtr config = Open("<config></config>");
  const std::int64_t one = 1, two = 2;
  DataRecord *wide = Create(config.get(), "u");
  ASSERT_EQ(AddValue(config.get(), "a", &one, wide), Zel_OK);
  ASSERT_EQ(AddValue(config.get(), "a", &two, wide), Zel_OK);
  ASSERT_EQ(Zel_DataAdd(config.get(), wide), Zel_OK);
  DataRecord *narrow = Create(config.get(), "u");
  ASSERT_EQ(AddValue(config.get(), "a", &one, narrow), Zel_OK);
  ASSERT_EQ(Zel_DataAdd(config.get(), narrow), Zel_OK);
  const std::string written = WrittenText(config.get());
  HandlePtr again = Open("<config></config>");
  const std::string path = TempPath("again.xml");
  WriteFile(path, written);
  ASSERT_EQ(Zel_ConfigRead(path.c_str(), again.get()), Zel_OK);
  EXPECT_EQ(ConfigText(again.get()), ConfigText(config.get()));
}

// A key member changed in place reorders its structure inside the index that
// holds it, which must go on finding values by descent: ids 1, 2 and 3 leave
// 2 at the root; 3 becomes 0; a new structure with id 1 meets the stored 1
// below the root.
TEST(StoreIntegrity, AChangedKeyMemberKeepsRepeatsFound) {
  HandlePtr config = Open("<config><r><id>1</id></r><r><id>2</id></r><r><id>3</id></r></config>");
  DataRecord *three = Values(config.get(), "r").at(0);
  const std::int64_t zero = 0, one = 1;
  ASSERT_EQ(Zel_DataChangeToData(three, Member(three, "id", 3), &zero), Zel_OK);
  DataRecord *added = Create(config.get(), "r");
  ASSERT_EQ(AddValue(config.get(), "id", &one, added), Zel_OK);
  EXPECT_EQ(Zel_DataAdd(config.get(), added), Zel_EEXIST);
  EXPECT_EQ(StoreInvariantViolation(config.get()), "");
}

}  // namespace
}  // namespace qorvcfg::test
