// A value loaded from a node hashes as the node did, so that the values of a
// read can stand for their nodes in the table of siblings.
#include <gtest/gtest.h>

#include <vector>

#include "definition/definition.h"
#include "markup/markup.h"
#include "store/loaded_value_matching.h"
#include "store/store.h"
#include "support/definition_text.h"

namespace qorvcfg {
namespace {

TEST(LoadedValueHash, EqualsTheHashOfItsNode) {
  ConfigHandle *handle = nullptr;
  ASSERT_EQ(test::CreateFromText(R"(<config_define>
    <item><name>i</name><type>integer</type><number>0</number></item>
    <item><name>s</name><type>string</type><number>0</number></item>
    <item><name>b</name><type>boolean</type><number>0</number></item>
    <item><name>a</name><type>ipaddr</type><number>0</number></item>
    <item><name>e</name><type>enumeration</type><number>0</number><enum><x>X</x><y>Y</y></enum></item>
    <item><name>k</name><type>structure</type><number>0</number>
      <item><name>id</name><type>integer</type><identifier>TRUE</identifier></item>
      <item><name>tag</name><type>string</type><identifier>TRUE</identifier></item>
      <item><name>v</name><type>string</type></item></item>
    <item><name>u</name><type>structure</type><number>0</number>
      <item><name>p</name><type>integer</type></item>
      <item><name>q</name><type>structure</type><item><name>r</name><type>boolean</type></item></item>
    </item></config_define>)",
                                 &handle),
            Zel_OK);
  const char *const data =
      "<config><i>-5</i><i>7</i><s>text</s><b>TRUE</b><b>FALSE</b>"
      "<a>host.example</a><a>10.1.2.3</a><a>::1</a><e>x</e><e>y</e>"
      "<k><id>1</id><tag>t</tag><v>a</v></k><k><tag>t</tag><id>2</id></k><k><id>3</id></k>"
      "<u><p>1</p><q><r>TRUE</r></q><p>2</p></u><u><q><r>FALSE</r></q></u></config>";
  ElementDescriptor *grammar = BuildDataGrammar(handle->items);
  ASSERT_NE(grammar, nullptr);
  ConvertedNode *nodes = nullptr;
  ASSERT_EQ(ParseMarkup(2, data, grammar, &nodes), Zel_OK);
  struct Hash {
    bool made;
    std::uint64_t value;
  };
  std::vector<Hash> expected;
  for (const ConvertedNode *node = nodes; node != nullptr; node = node->next) {
    Hash hash{};
    hash.made = HashNode(node, &hash.value);
    expected.push_back(hash);
  }
  ASSERT_EQ(expected.size(), 15u);
  ASSERT_EQ(LoadConvertedNodes(nodes, &handle->data, &StateOf(handle)->values), Zel_OK);
  std::size_t at = 0;
  const ListLinks *head = ListHead(&handle->data);
  for (const ListLinks *link = head->next; link != head; link = link->next, ++at) {
    Hash hash{};
    hash.made = HashLoadedValue(reinterpret_cast<const DataValue *>(link), &hash.value);
    ASSERT_LT(at, expected.size());
    EXPECT_EQ(hash.made, expected[at].made) << at;
    EXPECT_EQ(hash.made ? hash.value : 0, expected[at].made ? expected[at].value : 0) << at;
  }
  EXPECT_EQ(at, expected.size());
  EXPECT_FALSE(expected[12].made);  // a keyed structure without every key
  ReleaseNodeList(nodes);
  ReleaseDataGrammar(grammar);
  Zel_ConfigDestroy(handle);
}

}  // namespace
}  // namespace qorvcfg
