// The static grammar of definition files. The rows are linked at compile
// time, so no caller ever sees a partly linked grammar.
#include <string>

#include "definition/definition.h"

namespace qorvcfg {
namespace {

constexpr ConstraintRecord kNameLength{1, 2147483646};
constexpr ConstraintRecord kTextLength{0, 2147483646};
constexpr ConstraintRecord kOccurrences{0, 2147483647};
constexpr ConstraintRecord kFullRange{INT64_MIN, INT64_MAX};

constexpr ElementDescriptor Row(const ElementDescriptor *next, const char *name, ValueKind kind,
                                std::uint64_t limit, std::uint32_t identifier,
                                std::uint32_t necessity, const void *aux, std::uint32_t position) {
  const std::size_t length = std::char_traits<char>::length(name);
  // The names of one grammar differ from each other.
  return ElementDescriptor{next,
                           name,
                           kind,
                           limit,
                           identifier,
                           necessity,
                           aux,
                           position,
                           static_cast<std::uint32_t>(length),
                           true,
                           NameHead(name, length)};
}

}  // namespace

const KeywordEntry TypeKeywordList[6] = {
    {const_cast<KeywordEntry *>(&TypeKeywordList[1]), const_cast<char *>("integer"), nullptr},
    {const_cast<KeywordEntry *>(&TypeKeywordList[2]), const_cast<char *>("string"), nullptr},
    {const_cast<KeywordEntry *>(&TypeKeywordList[3]), const_cast<char *>("boolean"), nullptr},
    {const_cast<KeywordEntry *>(&TypeKeywordList[4]), const_cast<char *>("ipaddr"), nullptr},
    {const_cast<KeywordEntry *>(&TypeKeywordList[5]), const_cast<char *>("enumeration"), nullptr},
    {nullptr, const_cast<char *>("structure"), nullptr},
};

const ElementDescriptor DefinitionItemGrammar[13] = {
    Row(&DefinitionItemGrammar[1], "name", ValueKind::kName, 1, 1, 1, &kNameLength, 0),
    Row(&DefinitionItemGrammar[2], "description", ValueKind::kString, 1, 0, 0, &kTextLength, 1),
    Row(&DefinitionItemGrammar[3], "dispstring", ValueKind::kString, 1, 0, 0, &kTextLength, 2),
    Row(&DefinitionItemGrammar[4], "identifier", ValueKind::kBoolean, 1, 0, 0, nullptr, 3),
    Row(&DefinitionItemGrammar[5], "necessity", ValueKind::kBoolean, 1, 0, 0, nullptr, 4),
    Row(&DefinitionItemGrammar[6], "hidden", ValueKind::kBoolean, 1, 0, 0, nullptr, 5),
    Row(&DefinitionItemGrammar[7], "number", ValueKind::kInteger, 1, 0, 0, &kOccurrences, 6),
    Row(&DefinitionItemGrammar[8], "type", ValueKind::kKeyword, 1, 0, 1, TypeKeywordList, 7),
    Row(&DefinitionItemGrammar[9], "enum", ValueKind::kEnumList, 1, 0, 0, &kNameLength, 8),
    Row(&DefinitionItemGrammar[10], "default", ValueKind::kDefault, 1, 0, 0, nullptr, 9),
    Row(&DefinitionItemGrammar[11], "minimum", ValueKind::kInteger, 1, 0, 0, &kFullRange, 10),
    Row(&DefinitionItemGrammar[12], "maximum", ValueKind::kInteger, 1, 0, 0, &kFullRange, 11),
    Row(nullptr, "item", ValueKind::kNested, 0, 0, 0, DefinitionItemGrammar, 12),
};

const ElementDescriptor DefinitionHeaderGrammar[5] = {
    Row(&DefinitionHeaderGrammar[1], "name", ValueKind::kName, 1, 0, 1, &kNameLength, 0),
    Row(&DefinitionHeaderGrammar[2], "description", ValueKind::kString, 1, 0, 0, &kTextLength, 1),
    Row(&DefinitionHeaderGrammar[3], "dispstring", ValueKind::kString, 1, 0, 0, &kTextLength, 2),
    Row(&DefinitionHeaderGrammar[4], "hidden", ValueKind::kBoolean, 1, 0, 0, nullptr, 3),
    Row(nullptr, "item", ValueKind::kNested, 0, 0, 0, DefinitionItemGrammar, 4),
};

}  // namespace qorvcfg
