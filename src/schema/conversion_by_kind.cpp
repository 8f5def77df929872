// Picks the conversion of a row's kind, and says in one line why an element
// did not convert.
#include <string_view>

#include "markup/markup.h"
#include "schema/schema.h"

namespace qorvcfg {
namespace {

void AddBounds(const ConstraintRecord *bounds, MessageText *message) {
  const ConstraintRecord all{INT64_MIN, INT64_MAX};
  const ConstraintRecord &b = bounds != nullptr ? *bounds : all;
  message->AddInteger(b.minimum).Add("..").AddInteger(b.maximum);
}

}  // namespace

ResultCode ConvertByKind(const ElementDescriptor *row, const MarkupElement *element,
                         ConvertedNode **out, NodeSource *source) {
  const auto *bounds = static_cast<const ConstraintRecord *>(row->aux);
  switch (row->kind) {
    case ValueKind::kName:
      return ConvertName(element, bounds, out, source);
    case ValueKind::kInteger:
      return ConvertInteger(element, bounds, out, source);
    case ValueKind::kString:
      return ConvertString(element, bounds, out, source);
    case ValueKind::kBoolean:
      return ConvertBoolean(element, out, source);
    case ValueKind::kIpAddress:
      return ConvertIpAddress(element, out, source);
    case ValueKind::kEnumList:
      return ConvertEnumList(element, bounds, out);
    case ValueKind::kKeyword:
      return ConvertKeyword(element, static_cast<const KeywordEntry *>(row->aux), out, source);
    case ValueKind::kNested:
      return ConvertNested(element, static_cast<const ElementDescriptor *>(row->aux), out);
    case ValueKind::kDefault:
      return ConvertDefault(element, out, source);
    default:
      return Zel_EINVAL;
  }
}

void DescribeConversionFailure(const ElementDescriptor *row, const MarkupElement *element,
                               ResultCode result, MessageText *message) {
  message->Add(std::string_view(element->name, element->name_length)).Add(": ");
  const char *text = ElementValueText(element);
  if (row->kind == ValueKind::kEnumList) {
    message->Add("holds no word within bounds ");
    AddBounds(static_cast<const ConstraintRecord *>(row->aux), message);
    return;
  }
  if (text == nullptr) {
    message->Add("has no text");
    return;
  }
  message->AddQuoted(text).Add(" ");
  const auto *bounds = static_cast<const ConstraintRecord *>(row->aux);
  switch (row->kind) {
    case ValueKind::kName:
      if (result == Zel_ERANGE) {
        message->Add("text length out of bounds ");
        AddBounds(bounds, message);
      } else {
        message->Add("is not a name");
      }
      return;
    case ValueKind::kInteger:
      if (result == Zel_ERANGE) {
        message->Add("out of bounds ");
        AddBounds(bounds, message);
      } else {
        message->Add("is not an integer");
      }
      return;
    case ValueKind::kString:
      message->Add("text length out of bounds ");
      AddBounds(bounds, message);
      return;
    case ValueKind::kBoolean:
      message->Add("is not TRUE or FALSE");
      return;
    case ValueKind::kIpAddress:
      message->Add("is not an address");
      return;
    case ValueKind::kKeyword: {
      message->Add("is not one of ");
      const auto *words = static_cast<const KeywordEntry *>(row->aux);
      if (words == nullptr) message->Add("(no words)");
      for (const KeywordEntry *e = words; e != nullptr && !message->Full(); e = e->next) {
        message->Add(e == words ? "" : ", ").Add(e->keyword);
      }
      return;
    }
    default:
      message->Add("did not convert");
      return;
  }
}

}  // namespace qorvcfg
