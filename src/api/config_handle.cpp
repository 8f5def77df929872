// Creating a handle from a definition file, and destroying it.
#include <cstring>
#include <new>

#include "api/observed_reads.h"
#include "definition/definition.h"
#include "markup/markup.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {
namespace {

char *TakeNodeText(ConvertedNode *node) {
  if (node == nullptr || node->kind == ValueKind::kNone) return nullptr;
  char *text = node->value.text;
  node->kind = ValueKind::kNone;
  return text;
}

// Builds the handle from the converted children of the root; null when
// memory ran out (nothing left behind).
HandleState *BuildHandle(ConvertedNode *nodes, ReadDiagnostics *diagnostics) {
  void *block = platform::AllocateZeroed(sizeof(HandleState));
  if (block == nullptr) return nullptr;
  auto *state = new (block) HandleState{};

  ConvertedNode *name = nullptr;
  ConvertedNode *description = nullptr;
  ConvertedNode *dispstring = nullptr;
  ConvertedNode *hidden = nullptr;
  ItemDefinition *items = nullptr;
  ItemDefinition *last = nullptr;
  for (ConvertedNode *node = nodes; node != nullptr; node = node->next) {
    const char *row = node->descriptor->name;
    if (std::strcmp(row, "name") == 0) {
      name = node;
    } else if (std::strcmp(row, "description") == 0) {
      description = node;
    } else if (std::strcmp(row, "dispstring") == 0) {
      dispstring = node;
    } else if (std::strcmp(row, "hidden") == 0) {
      hidden = node;
    } else if (std::strcmp(row, "item") == 0 && node->kind == ValueKind::kNested) {
      ItemDefinition *item = BuildItemDefinition(node->value.nested, diagnostics, node->offset);
      if (item == nullptr) {
        ReleaseItemList(items);
        platform::Free(state);
        return nullptr;
      }
      if (last == nullptr) {
        items = item;
      } else {
        last->next = item;
      }
      last = item;
    }
  }
  if (ContainerInit(&state->handle.data, items) != Zel_OK) {
    ReleaseItemList(items);
    platform::Free(state);
    return nullptr;
  }
  state->handle.name = TakeNodeText(name);
  state->handle.description = TakeNodeText(description);
  state->handle.dispstring = TakeNodeText(dispstring);
  state->handle.hidden = hidden != nullptr ? hidden->value.boolean : 0;
  state->handle.items = items;
  return state;
}

void DestroyHandle(ConfigHandle *handle) {
  HandleState *state = StateOf(handle);
  HandleReleaseValues(handle);
  platform::Free(handle->name);
  platform::Free(handle->description);
  platform::Free(handle->dispstring);
  ReleaseItemList(handle->items);
  state->~HandleState();
  platform::Free(state);
}

}  // namespace
}  // namespace qorvcfg

using namespace qorvcfg;

ResultCode qorvcfg::CreateConfigReporting(const char *path, ConfigHandle **handle_out,
                                          ReadDiagnostics *diagnostics) {
  if (path == nullptr || handle_out == nullptr) return Zel_EINVAL;
  ConvertedNode *nodes = nullptr;
  const ResultCode parsed = ParseMarkup(static_cast<std::uint32_t>(ParseMode::kFile), path,
                                        DefinitionHeaderGrammar, &nodes, diagnostics);
  HandleState *state = BuildHandle(nodes, parsed == Zel_OK ? diagnostics : nullptr);
  ReleaseNodeList(nodes);
  if (state == nullptr) return Zel_ENOMEM;
  if (parsed != Zel_OK) {
    DestroyHandle(&state->handle);
    return parsed;
  }
  *handle_out = &state->handle;
  return Zel_OK;
}

extern "C" QORVCFG_API ResultCode Zel_ConfigCreate(const char *path, ConfigHandle **handle_out) {
  return CreateConfigReporting(path, handle_out, nullptr);
}

extern "C" QORVCFG_API void Zel_ConfigDestroy(ConfigHandle *handle) {
  if (handle == nullptr) return;
  DestroyHandle(handle);
}
