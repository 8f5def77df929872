// The slots that hold a handle's values: aligned blocks taken from the heap
// in runs that grow, a free list of given-back slots, and a small lock held
// only while a slot is taken or given back.
#include "store/value_pool.h"

#include <cstring>
#include <thread>

#include "base/payload_texts.h"
#include "platform/assert.h"
#include "platform/platform.h"
#include "store/store.h"

namespace qorvcfg {

// The head of each block; a value finds it by rounding its address down.
struct ValuePoolBlock {
  ValuePool *pool;
  ValuePoolBlock *next;    // the pool's blocks, newest first
  void *run_base;          // the heap block of the run, in its first block only
  std::uint32_t used;      // slots handed out at least once
  std::uint32_t run_left;  // blocks of the run after this one
};

namespace {

inline constexpr std::size_t kBlockBytes = 8192;
inline constexpr std::size_t kSlotsOffset = sizeof(ValuePoolBlock);
inline constexpr std::uint32_t kSlotsPerBlock =
    static_cast<std::uint32_t>((kBlockBytes - kSlotsOffset) / sizeof(DataValue));
// Blocks in one heap block: 256 KiB, below the size from which the Windows
// heap maps each block from the system on its own, which made destroying a
// large handle cost twice as much as freeing these.
inline constexpr std::uint32_t kLongestRun = 32;
static_assert(kBlockBytes % alignof(DataValue) == 0 && kSlotsOffset % alignof(DataValue) == 0);

DataValue *Slot(ValuePoolBlock *block, std::uint32_t i) {
  return reinterpret_cast<DataValue *>(reinterpret_cast<char *>(block) + kSlotsOffset) + i;
}

ListLinks *FreeMark(ValuePool *pool) { return reinterpret_cast<ListLinks *>(pool); }

class PoolLock {
 public:
  explicit PoolLock(ValuePool *pool) : lock_(&pool->lock) {
    while (lock_->exchange(1, std::memory_order_acquire) != 0) {
      while (lock_->load(std::memory_order_relaxed) != 0) std::this_thread::yield();
    }
  }
  ~PoolLock() { lock_->store(0, std::memory_order_release); }
  PoolLock(const PoolLock &) = delete;
  PoolLock &operator=(const PoolLock &) = delete;

 private:
  std::atomic<std::uint32_t> *lock_;
};

void InitBlock(ValuePool *pool, ValuePoolBlock *block, void *run_base, std::uint32_t run_left) {
  block->pool = pool;
  block->next = pool->blocks;
  block->run_base = run_base;
  block->used = 0;
  block->run_left = run_left;
  pool->blocks = block;
  pool->current = block;
  // Its slots are cleared all at once, in one pass the memory system
  // streams, rather than one at a time as they are handed out.
  std::memset(reinterpret_cast<char *>(block) + kSlotsOffset, 0,
              kSlotsPerBlock * sizeof(DataValue));
}

// Makes a block with free slots current; false when memory ran out.
bool NextBlock(ValuePool *pool) {
  ValuePoolBlock *current = pool->current;
  if (current != nullptr && current->run_left != 0) {
    auto *next =
        reinterpret_cast<ValuePoolBlock *>(reinterpret_cast<char *>(current) + kBlockBytes);
    InitBlock(pool, next, nullptr, current->run_left - 1);
    return true;
  }
  const std::uint32_t run = pool->next_run == 0 ? 1 : pool->next_run;
  // One block more than the run, so that the run can start aligned.
  void *base = platform::Allocate((run + 1) * kBlockBytes);
  if (base == nullptr) return false;
  const auto address = reinterpret_cast<std::uintptr_t>(base);
  const std::uintptr_t aligned = (address + kBlockBytes - 1) & ~(kBlockBytes - 1);
  InitBlock(pool, reinterpret_cast<ValuePoolBlock *>(aligned), base, run - 1);
  pool->next_run = run < kLongestRun ? run * 2 : kLongestRun;
  return true;
}

// Clears a slot with plain word stores: a short fixed-size memset becomes
// a string instruction whose start-up costs more than the stores. The empty
// asm keeps the compiler from turning the loop back into one.
void ZeroSlot(DataValue *value) {
  static_assert(sizeof(DataValue) % sizeof(std::uint64_t) == 0);
  auto *words = reinterpret_cast<std::uint64_t *>(value);
  for (std::size_t i = 0; i < sizeof(DataValue) / sizeof(std::uint64_t); ++i) {
    words[i] = 0;
    __asm__ volatile("" ::: "memory");
  }
}

}  // namespace

ValuePool *PoolOf(const DataValue *value) {
  const auto address = reinterpret_cast<std::uintptr_t>(value);
  return reinterpret_cast<const ValuePoolBlock *>(address & ~(kBlockBytes - 1))->pool;
}

namespace {

// Takes a slot while its caller holds the pool to itself; *given_back says
// that the slot was used before and must be cleared.
DataValue *TakeSlot(ValuePool *pool, bool *given_back) {
  if (pool->free_slots != nullptr) {
    DataValue *value = pool->free_slots;
    pool->free_slots = ValueOfLinks(value->links.next);
    *given_back = true;
    return value;
  }
  if ((pool->current == nullptr || pool->current->used == kSlotsPerBlock) && !NextBlock(pool)) {
    return nullptr;
  }
  return Slot(pool->current, pool->current->used++);  // never used: still clear
}

}  // namespace

DataValue *PoolTake(ValuePool *pool) {
  bool given_back = false;
  DataValue *value;
  {
    PoolLock guard(pool);
    value = TakeSlot(pool, &given_back);
  }
  if (given_back) ZeroSlot(value);
  return value;
}

DataValue *PoolTakeUnlocked(ValuePool *pool) {
  bool given_back = false;
  DataValue *value = TakeSlot(pool, &given_back);
  if (given_back) ZeroSlot(value);
  return value;
}

void PoolGiveBack(DataValue *value) {
  ValuePool *pool = PoolOf(value);
  PoolLock guard(pool);
  QORVCFG_ASSERT(value->links.prev != FreeMark(pool), "the slot is given back twice");
  value->links.prev = FreeMark(pool);
  value->links.next = LinksOf(pool->free_slots);
  pool->free_slots = value;
}

void PoolVisit(ValuePool *pool, void (*visit)(DataValue *value, void *context), void *context) {
  for (ValuePoolBlock *block = pool->blocks; block != nullptr; block = block->next) {
    for (std::uint32_t i = 0; i < block->used; ++i) {
      DataValue *value = Slot(block, i);
      if (value->links.prev != FreeMark(pool)) visit(value, context);
    }
  }
}

void PoolRelease(ValuePool *pool) {
  PoolVisit(
      pool,
      [](DataValue *value, void *) {
        ReleasePayloadTexts(value->record.type, &value->record.payload);
        ContainerReleaseBlock(&value->record.nested);
      },
      nullptr);
  // A run's first block comes last among its blocks, so a run is freed after
  // all of its blocks were passed.
  for (ValuePoolBlock *block = pool->blocks; block != nullptr;) {
    ValuePoolBlock *next = block->next;
    if (block->run_base != nullptr) platform::Free(block->run_base);
    block = next;
  }
  pool->blocks = nullptr;
  pool->current = nullptr;
  pool->free_slots = nullptr;
}

}  // namespace qorvcfg
