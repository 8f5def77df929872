// Reads data into a handle: derive the data grammar, parse with it, and load
// each converted node as a value, descending into structures.
#include <cstring>

#include "definition/definition.h"
#include "markup/markup.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

ResultCode NodeToRecord(DataValue *value, ConvertedNode *node, OrphanList *orphans) {
  DataRecord &record = value->record;
  NodeValue &source = node->value;
  switch (node->kind) {
    case ValueKind::kInteger:
      record.type = Zel_TYPE_INTEGER;
      record.payload.integer = source.integer;
      return Zel_OK;
    case ValueKind::kString:
      record.type = Zel_TYPE_STRING;
      record.payload.text = source.text;
      node->kind = ValueKind::kNone;
      return Zel_OK;
    case ValueKind::kBoolean:
      record.type = Zel_TYPE_BOOLEAN;
      record.payload.boolean = source.boolean;
      return Zel_OK;
    case ValueKind::kIpAddress:
      record.type = Zel_TYPE_IPADDR;
      record.payload.ipaddr = source.ipaddr;
      node->kind = ValueKind::kNone;
      return Zel_OK;
    case ValueKind::kKeyword:
      record.type = Zel_TYPE_ENUMERATION;
      record.payload.keyword = source.text;
      node->kind = ValueKind::kNone;
      return Zel_OK;
    case ValueKind::kNested: {
      ResultCode result = ContainerInit(&record.nested, value->item->children);
      if (result != Zel_OK) {
        record.type = Zel_TYPE_NONE;
        return result;
      }
      result = LoadConvertedNodes(source.nested, &record.nested, orphans);
      if (result != Zel_OK) {
        ContainerClear(&record.nested);
        ContainerMakeEmpty(&record.nested);
        record.type = Zel_TYPE_NONE;
        return result;
      }
      record.type = Zel_TYPE_STRUCTURE;
      record.payload.structure = record.nested.next;
      return Zel_OK;
    }
    default:
      record.type = Zel_TYPE_NONE;
      return Zel_OK;
  }
}

}  // namespace

ResultCode LoadConvertedNodes(ConvertedNode *nodes, DataContainer *container, OrphanList *orphans) {
  ResultCode result = Zel_OK;
  for (ConvertedNode *node = nodes; node != nullptr; node = node->next) {
    DataValue *value = NewValue(nullptr, orphans);
    if (value == nullptr) {
      result = Zel_ENOMEM;
      break;
    }
    const std::int64_t position = FindItemByName(container, node->descriptor->name);
    if (position < 0) {
      ValueRelease(value);
      result = Zel_ENOTFOUND;
      break;
    }
    value->item = container->items[position];
    result = NodeToRecord(value, node, orphans);
    if (result == Zel_OK) {
      result = ContainerInsertValue(container, static_cast<std::uint32_t>(position), value);
    }
    if (result != Zel_OK) {
      ValueRelease(value);
      break;
    }
  }
  if (result != Zel_OK) ContainerEmpty(container);
  return result;
}

ResultCode ReadConfig(std::uint32_t mode, const char *input, ConfigHandle *handle) {
  if (input == nullptr || handle == nullptr) return Zel_EINVAL;
  ElementDescriptor *grammar = BuildDataGrammar(handle->items);
  if (grammar == nullptr) return Zel_ENOMEM;
  ConvertedNode *nodes = nullptr;
  ResultCode result = ParseMarkup(mode, input, grammar, &nodes);
  if (result == Zel_OK) {
    result = LoadConvertedNodes(nodes, &handle->data, &StateOf(handle)->orphans);
    ReleaseNodeList(nodes);
  }
  ReleaseDataGrammar(grammar);
  return result;
}

}  // namespace qorvcfg
