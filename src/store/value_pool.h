// The value pool: the slots that hold the values of one handle.
//
// What holds between calls:
// - The pool owns its blocks, and through them every value of the handle at
//   every depth, linked into a container or not. A value's block, and so its
//   pool, follows from the value's address.
// - A slot is free or in use. A free slot is on free_slots, chained through
//   links.next, with its links.prev pointing at the pool itself; a slot in
//   use never points there.
// - Values may be made on several threads at once (default creation is a
//   query), so taking and giving back a slot holds the pool's small lock.
// What a failure leaves: PoolTake that finds no memory changes nothing.
#pragma once

#include <atomic>
#include <cstdint>

namespace qorvcfg {

struct DataValue;

// Slots of aligned blocks: made values are taken from the free list before
// new slots, and destroy frees the blocks whole.
struct ValuePoolBlock;
struct ValuePool {
  std::atomic<std::uint32_t> lock;
  DataValue *free_slots;    // chained through links.next
  ValuePoolBlock *blocks;   // every block, newest first
  ValuePoolBlock *current;  // the block new slots come from
  std::uint32_t next_run;   // blocks in the next allocation
};

// A zeroed slot of the pool, or null when memory ran out.
[[nodiscard]] DataValue *PoolTake(ValuePool *pool);
// The same without the pool's lock, for a read, which no other operation on
// the pool's handle may overlap.
[[nodiscard]] DataValue *PoolTakeUnlocked(ValuePool *pool);
// Gives a value's slot back to its pool; the value owns nothing any more.
void PoolGiveBack(DataValue *value);
[[nodiscard]] ValuePool *PoolOf(const DataValue *value);
// Calls visit for every value of the pool (free slots left out).
void PoolVisit(ValuePool *pool, void (*visit)(DataValue *value, void *context), void *context);
// Releases what every value of the pool still owns, then the blocks.
void PoolRelease(ValuePool *pool);

}  // namespace qorvcfg
