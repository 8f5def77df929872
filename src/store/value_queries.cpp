// Listing an item's values from the greatest to the least.
#include "store/store.h"

namespace qorvcfg {

ResultCode ContainerGetValues(DataContainer *container, const char *name, DataRecord **values,
                              std::uint32_t *count) {
  const std::int64_t position = FindItemByName(container, name);
  if (position < 0) return Zel_ENOTFOUND;
  std::uint32_t capacity = *count;
  ValueIndex *index = container->indexes[position];
  if (index == nullptr) return Zel_EINVAL;
  const ResultCode listed = IndexList(index, reinterpret_cast<void **>(values), &capacity);
  if (listed != Zel_OK) return listed;
  if (index->tag != kIndexTagLive) return Zel_EBADTAG;
  const std::uint32_t total = index->count;
  for (std::uint32_t i = 0; i < capacity; ++i) {
    values[i] = &static_cast<DataValue *>(static_cast<void *>(values[i]))->record;
  }
  *count = total;
  return Zel_OK;
}

}  // namespace qorvcfg
