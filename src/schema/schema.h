// Schema conversion: grammar rows, converted nodes, the conversion driver and
// the per-kind conversions with their text helpers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qorvcfg.h"

namespace qorvcfg {

struct MarkupElement;

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
};

union NodeValue {
  char *text;                    // kinds 1, 3, 7
  std::int64_t integer;          // kind 2
  std::uint32_t boolean;         // kind 4
  IpAddressValue ipaddr;         // kind 5
  KeywordEntry *entries;         // kind 6
  struct ConvertedNode *nested;  // kind 8
};
static_assert(sizeof(NodeValue) == 48);

struct ConvertedNode {
  ConvertedNode *next;
  const ElementDescriptor *descriptor;
  ValueKind kind;  // kNone once a consumer took the value
  NodeValue value;
};

// Deepest nesting that conversion follows; deeper nested elements are left
// out, which bounds every later walk over nodes, items and values.
inline constexpr std::uint32_t kMaxNestingDepth = 1000;

// ---- Nodes and entries ----------------------------------------------------
void ReleaseNodeValue(ConvertedNode *node);
void ReleaseNodeList(ConvertedNode *first);
[[nodiscard]] KeywordEntry *NewKeywordEntry(const char *keyword, std::size_t keyword_length,
                                            const char *text, std::size_t text_length);
void ReleaseKeywordList(KeywordEntry *first);

// ---- Driver ---------------------------------------------------------------
[[nodiscard]] ResultCode ConvertElements(const ElementDescriptor *grammar,
                                         const MarkupElement *first, ConvertedNode **out);
[[nodiscard]] ResultCode FindDuplicateNode(const ConvertedNode *node,
                                           const ConvertedNode *accepted);
[[nodiscard]] bool CompareNodes(const ConvertedNode *a, const ConvertedNode *b);
[[nodiscard]] bool CompareNestedNodes(const ConvertedNode *a, const ConvertedNode *b);
// The text of the first text child, or null.
[[nodiscard]] const char *ElementValueText(const MarkupElement *element);

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
// out must be cleared to zero by the caller.
[[nodiscard]] ResultCode ParseIpText(const char *text, IpAddressValue *out);

// ---- Conversions (each gives one new node or a failure) --------------------
[[nodiscard]] ResultCode ConvertName(const MarkupElement *element, const ConstraintRecord *bounds,
                                     ConvertedNode **out);
[[nodiscard]] ResultCode ConvertInteger(const MarkupElement *element,
                                        const ConstraintRecord *bounds, ConvertedNode **out);
[[nodiscard]] ResultCode ConvertString(const MarkupElement *element, const ConstraintRecord *bounds,
                                       ConvertedNode **out);
[[nodiscard]] ResultCode ConvertBoolean(const MarkupElement *element, ConvertedNode **out);
[[nodiscard]] ResultCode ConvertKeyword(const MarkupElement *element, const KeywordEntry *words,
                                        ConvertedNode **out);
[[nodiscard]] ResultCode ConvertIpAddress(const MarkupElement *element, ConvertedNode **out);
[[nodiscard]] ResultCode ConvertEnumList(const MarkupElement *element,
                                         const ConstraintRecord *bounds, ConvertedNode **out);
[[nodiscard]] ResultCode ConvertNested(const MarkupElement *element,
                                       const ElementDescriptor *grammar, std::uint32_t depth,
                                       ConvertedNode **out);
[[nodiscard]] ResultCode ConvertDefault(const MarkupElement *element, ConvertedNode **out);

// Internal: the driver with the nesting depth it is called at.
[[nodiscard]] ResultCode ConvertElementsAtDepth(const ElementDescriptor *grammar,
                                                const MarkupElement *first, std::uint32_t depth,
                                                ConvertedNode **out);

// A new node of the given kind with nothing in it; null when memory runs out.
[[nodiscard]] ConvertedNode *NewNode(ValueKind kind);

}  // namespace qorvcfg
