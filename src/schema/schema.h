// Conversion of elements into typed nodes against a grammar.
//
// Who owns what:
// - A grammar is a chain of rows that its maker owns (constant tables, or a
//   data grammar built for one read); nodes and levels only point at rows.
// - A node owns its value: a text, a host name, a word list, nested nodes.
//   A node that came from a NodeSource borrows its texts from the input
//   instead, and goes back to the source rather than to the heap.
// - A conversion level owns its counter table and duplicate table until
//   LevelFinish, and its accepted nodes until it hands them on (to its
//   caller, or one by one to a RootNodeSink, which then owns them).
// What holds: nodes of a level are kept in input order; no two accepted
//   siblings compare equal; nothing recurses on the depth of the input.
// What a failure leaves: a conversion that fails gives no node and frees
//   what it made; running out of memory in a level drops the element.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "base/pair_stack.h"
#include "base/read_diagnostics.h"
#include "qorvcfg.h"
#include "schema/duplicate_table.h"

namespace qorvcfg {

struct MarkupElement;
class ReadDiagnostics;

enum class ValueKind : std::uint32_t {
  kNone = 0,
  kName = 1,
  kInteger = 2,
  kString = 3,
  kBoolean = 4,
  kIpAddress = 5,
  kEnumList = 6,
  kKeyword = 7,
  kNested = 8,
  kDefault = 9,
};

// Inclusive bounds on a value or on a text's length in bytes.
struct ConstraintRecord {
  std::int64_t minimum;
  std::int64_t maximum;
};

// One grammar row. A grammar is a chain of rows; the first row of a name wins.
struct ElementDescriptor {
  const ElementDescriptor *next;
  const char *name;
  ValueKind kind;
  std::uint64_t limit;  // 0: any number
  std::uint32_t identifier;
  std::uint32_t necessity;
  const void *aux;  // ConstraintRecord, KeywordEntry list or nested grammar
  // The row's place in its grammar; a data grammar's rows follow its items,
  // so this is also where the row's item sits in a container.
  std::uint32_t position = 0;
  // Bytes of name before its end, or kUnknownLength when whoever made the
  // row did not say.
  std::uint32_t name_length = kUnknownLength;
  static constexpr std::uint32_t kUnknownLength = 0xFFFFFFFF;
  // No other row of the grammar has this name (siblings of a definition
  // never share one), so a match needs no look at the rows before.
  bool name_unique = false;
  // The first bytes of name, at most 8, as NameHead gives them.
  std::uint64_t name_head = 0;
};

// The first min(length, 8) bytes of name in one word, the rest zero.
[[nodiscard]] constexpr std::uint64_t NameHead(const char *name, std::size_t length) {
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < length && i < 8; ++i) {
    const auto byte = static_cast<std::uint64_t>(static_cast<unsigned char>(name[i]));
    head |= std::endian::native == std::endian::little ? byte << (8 * i) : byte << (56 - 8 * i);
  }
  return head;
}

union NodeValue {
  char *text;                    // kinds 1, 3, 7
  std::int64_t integer;          // kind 2
  std::uint32_t boolean;         // kind 4
  IpAddressValue ipaddr;         // kind 5
  KeywordEntry *entries;         // kind 6
  struct ConvertedNode *nested;  // kind 8
};
static_assert(sizeof(NodeValue) == 48);

// Where the nodes of one read come from, when the read loads them as soon as
// they are made. Given-back nodes are kept for the next ones instead of going
// back to the heap, and texts are not copied: a node's text (or host name)
// points into the input, which outlives the node, and loading copies what it
// keeps. Without a source each node is its own heap block and owns its texts.
struct NodeSource {
  struct ConvertedNode *spare;  // given-back nodes, chained through next
};
// Frees the spare nodes.
void NodeSourceRelease(NodeSource *source);

struct ConvertedNode {
  ConvertedNode *next;
  const ElementDescriptor *descriptor;
  ValueKind kind;        // kNone once a consumer took the value
  std::uint32_t offset;  // of the element's `<` in its input, for diagnostics
  NodeValue value;
  // The element itself, for the places a read reports: valid while the
  // element lives, which for a read with a sink lasts while the sink takes
  // the node.
  const MarkupElement *element;
};

// ---- Nodes and entries ----------------------------------------------------
// With the source the nodes came from: their texts are borrowed, and the
// nodes go back to it.
void ReleaseNodeValue(ConvertedNode *node, const NodeSource *source = nullptr);
void ReleaseNodeList(ConvertedNode *first, NodeSource *source = nullptr);
[[nodiscard]] KeywordEntry *NewKeywordEntry(const char *keyword, std::size_t keyword_length,
                                            const char *text, std::size_t text_length);
void ReleaseKeywordList(KeywordEntry *first);

// ---- Driver ---------------------------------------------------------------
[[nodiscard]] ResultCode ConvertElements(const ElementDescriptor *grammar,
                                         const MarkupElement *first, ConvertedNode **out,
                                         ReadDiagnostics *diagnostics = nullptr);

// Where a reader may send the accepted nodes of the root level at once,
// instead of collecting them: a loader that keeps them as values and finds
// earlier equal siblings among those values.
struct RootNodeSink {
  void *context;
  // Offers an accepted node: true when an earlier accepted sibling equals it;
  // *earlier_offset then says where that sibling's element starts. On the
  // way the sink may load the node's value into its container, whose index
  // then tells equal values apart: a false answer may leave the value
  // loaded already, and take then only releases the node.
  bool (*offer)(void *context, const ConvertedNode *node, std::uint32_t *earlier_offset);
  // Takes an accepted node and releases it. Anything but Zel_OK stops the
  // conversion of further elements.
  ResultCode (*take)(void *context, ConvertedNode *node);
  NodeSource *nodes;  // where every node of the read comes from
};

// One level of conversion that takes its elements one at a time, so that a
// reader can convert each child of the root as soon as it is complete.
struct ConversionLevel {
  static constexpr std::uint32_t kRowsInPlace = 16;
  const ElementDescriptor *grammar;
  std::uint32_t *spilled;  // the counters when the grammar has more rows than fit in place
  std::uint32_t in_place[kRowsInPlace];
  DuplicateTable accepted;
  ConvertedNode *head;
  ConvertedNode *tail;
  const RootNodeSink *sink;           // null: accepted nodes are collected in head..tail
  NodeSource *nodes;                  // null: nodes from the heap, owning their texts
  ResultCode stopped;                 // what the sink answered when it refused a node
  const ElementDescriptor *last_row;  // the row of the last element, tried first
  std::size_t last_position;
  // Nodes accepted per row, in row order.
  [[nodiscard]] std::uint32_t *Counters() { return spilled != nullptr ? spilled : in_place; }
};
// False when the counter table cannot be allocated (nothing to release).
[[nodiscard]] bool LevelStart(ConversionLevel *level, const ElementDescriptor *grammar);
// Converts one element with everything nested in it, and keeps or drops it.
// Follows the nesting with an explicit stack, to any depth.
void LevelConvertElement(ConversionLevel *level, const MarkupElement *element,
                         ReadDiagnostics *diagnostics);
// Ends the level: frees its tables and gives its accepted nodes in order.
[[nodiscard]] ConvertedNode *LevelFinish(ConversionLevel *level);
// Zel_EEXIST when an accepted node equals node, Zel_ENOMEM when a
// comparison ran out of memory before it could tell, else Zel_OK.
[[nodiscard]] ResultCode FindDuplicateNode(const ConvertedNode *node,
                                           const ConvertedNode *accepted);
// Structures are followed with a worklist, to any depth; kUnknown when it
// could not grow.
[[nodiscard]] Sameness NodesEqual(const ConvertedNode *a, const ConvertedNode *b);
// Equality of texts (null equals only null) and of addresses as siblings
// compare them: the form, then the host name or the family and its bytes; an
// unknown form or family is never equal.
[[nodiscard]] bool SameText(const char *a, const char *b);
[[nodiscard]] bool SameIpAddress(const IpAddressValue &x, const IpAddressValue &y);
// The text of the first text child, or null.
[[nodiscard]] const char *ElementValueText(const MarkupElement *element);
// The first row of the level's grammar named as element is, or null.
[[nodiscard]] const ElementDescriptor *LevelFindRow(ConversionLevel *level,
                                                    const MarkupElement *element,
                                                    std::size_t *position);
// The first row of the grammar named name (length bytes), or null. Reads 8
// bytes from name whatever length is: name must lie in an input buffer,
// which ends in kInputPadding zero bytes (markup/markup.h).
[[nodiscard]] const ElementDescriptor *FindRow(const ElementDescriptor *grammar, const char *name,
                                               std::size_t length, std::size_t *position);

// ---- Parse and convert ----------------------------------------------------
// Parses a file (mode 1, input is a UTF-8 path) or a text (mode 2) and
// converts the children of the first top-level element against grammar. With
// a reporter, everything left out is reported, and the input buffer is handed
// to the reporter so that later reports can still find their lines. With a
// sink, each accepted child of the root goes to the sink as soon as it is
// converted (out then gets none); a sink that refuses a node stops the
// conversion, while the input is still read to its end.
[[nodiscard]] ResultCode ParseMarkup(std::uint32_t mode, const char *input,
                                     const ElementDescriptor *grammar, ConvertedNode **out,
                                     ReadDiagnostics *diagnostics = nullptr,
                                     const RootNodeSink *sink = nullptr);

// ---- Text helpers ---------------------------------------------------------
[[nodiscard]] ResultCode IsNameText(const char *text);
[[nodiscard]] ResultCode ParseUnsignedText(const char *text, std::size_t length, std::uint32_t base,
                                           std::uint64_t *magnitude);
[[nodiscard]] ResultCode ParseSignedText(const char *text, std::size_t length, std::int64_t *value);
[[nodiscard]] ResultCode ParseBooleanWord(const char *text, std::uint32_t *value);
[[nodiscard]] ResultCode ParseIpv4Text(const char *text, std::size_t length, std::size_t *end,
                                       std::uint8_t out[4]);
[[nodiscard]] ResultCode ParseIpv6Text(const char *text, std::size_t length, std::size_t *end,
                                       std::uint8_t out[16]);
// out must be cleared to zero by the caller. A host name is copied, or with
// borrow points at text itself.
[[nodiscard]] ResultCode ParseIpText(const char *text, IpAddressValue *out, bool borrow = false);

// ---- Conversions (each gives one new node or a failure) --------------------
// The scalar ones take their node from source when there is one.
[[nodiscard]] ResultCode ConvertName(const MarkupElement *element, const ConstraintRecord *bounds,
                                     ConvertedNode **out, NodeSource *source = nullptr);
[[nodiscard]] ResultCode ConvertInteger(const MarkupElement *element,
                                        const ConstraintRecord *bounds, ConvertedNode **out,
                                        NodeSource *source = nullptr);
[[nodiscard]] ResultCode ConvertString(const MarkupElement *element, const ConstraintRecord *bounds,
                                       ConvertedNode **out, NodeSource *source = nullptr);
[[nodiscard]] ResultCode ConvertBoolean(const MarkupElement *element, ConvertedNode **out,
                                        NodeSource *source = nullptr);
[[nodiscard]] ResultCode ConvertKeyword(const MarkupElement *element, const KeywordEntry *words,
                                        ConvertedNode **out, NodeSource *source = nullptr);
[[nodiscard]] ResultCode ConvertIpAddress(const MarkupElement *element, ConvertedNode **out,
                                          NodeSource *source = nullptr);
[[nodiscard]] ResultCode ConvertEnumList(const MarkupElement *element,
                                         const ConstraintRecord *bounds, ConvertedNode **out);
[[nodiscard]] ResultCode ConvertNested(const MarkupElement *element,
                                       const ElementDescriptor *grammar, ConvertedNode **out);
[[nodiscard]] ResultCode ConvertDefault(const MarkupElement *element, ConvertedNode **out,
                                        NodeSource *source = nullptr);

// Converts an element by a scalar kind (every kind but 8), giving one node.
[[nodiscard]] ResultCode ConvertByKind(const ElementDescriptor *row, const MarkupElement *element,
                                       ConvertedNode **out, NodeSource *source = nullptr);
// Says why an element of row did not convert with result, in one line.
void DescribeConversionFailure(const ElementDescriptor *row, const MarkupElement *element,
                               ResultCode result, MessageText *message);

// A new node of the given kind with nothing in it, from source when there is
// one; null when memory runs out.
[[nodiscard]] ConvertedNode *NewNode(ValueKind kind, NodeSource *source = nullptr);
// Sets a new node's text: a copy, or with a source the text itself.
[[nodiscard]] ResultCode SetNodeText(ConvertedNode *node, const char *text,
                                     const NodeSource *source);
// Moves a node's text out of the node (null for no node, or one whose value
// was taken); the caller owns it and the node holds nothing.
[[nodiscard]] char *TakeNodeText(ConvertedNode *node);

// Converted nodes collected by the names of their rows, into the fields of a
// record of Nodes: a later node of a row takes the place of an earlier one.
template <typename Nodes>
struct NodeSlot {
  const char *row;
  ConvertedNode *Nodes::*slot;
};
// Puts the node into the slot its row names; false when no slot does.
template <typename Nodes, std::size_t kCount>
bool PutInSlot(const NodeSlot<Nodes> (&slots)[kCount], ConvertedNode *node, Nodes *nodes) {
  for (const NodeSlot<Nodes> &slot : slots) {
    if (SameText(node->descriptor->name, slot.row)) {
      nodes->*(slot.slot) = node;
      return true;
    }
  }
  return false;
}

// Gives back a node that holds nothing: to its source, or to the heap.
void DiscardNode(ConvertedNode *node, NodeSource *source);

}  // namespace qorvcfg
