#include "base/payload_texts.h"

#include "platform/platform.h"

namespace qorvcfg {

void ReleasePayloadTexts(ItemType type, DataPayload *payload) {
  char **owned = nullptr;
  if (type == Zel_TYPE_STRING || type == Zel_TYPE_ENUMERATION) {
    owned = &payload->text;
  } else if (type == Zel_TYPE_IPADDR) {
    owned = &payload->ipaddr.host_name;
  } else {
    return;
  }
  char *text = *owned;
  *owned = nullptr;
  const char *inside = reinterpret_cast<const char *>(payload);
  if (text != nullptr && (text < inside || text >= inside + sizeof *payload)) platform::Free(text);
}

}  // namespace qorvcfg
