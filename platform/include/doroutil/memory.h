// Memory of the utility library: heap calls, a fixed-size pool, and the machine's memory level.
#ifndef NAVCONFIG_DOROUTIL_MEMORY_H
#define NAVCONFIG_DOROUTIL_MEMORY_H

#include <cstddef>
#include <cstdint>

void* Mem_Malloc(size_t size);  // may give null
void* Mem_Realloc(void* block, size_t size);
void Mem_Free(void* block);
// Number of Mem_Malloc and Mem_Realloc calls so far in this process (for benchmarks).
uint64_t Mem_AllocationCount();

// A pool of fixed-size elements carved from blocks: the first of blockBytes bytes, each later one twice the
// size of the one before (up to 64 KiB), so that a pool of any size takes few heap calls. Freed elements are
// reused; the blocks go back to the heap when the pool is destroyed.
class Allocator {
 public:
  Allocator(size_t elementSize, int type, size_t blockBytes);
  ~Allocator();
  Allocator(const Allocator&) = delete;
  Allocator& operator=(const Allocator&) = delete;
  void* Alloc();  // null when the heap is exhausted
  void Free(void* element);

 private:
  struct Block;
  size_t m_elementSize;
  size_t m_perBlock;      // elements in the current block
  size_t m_blockBytes;    // size of the next block
  Block* m_blocks = nullptr;
  void* m_freeList = nullptr;
  size_t m_usedInBlock = 0;
};

// The cache manager's view of the machine: the memory level, and interval timings for the performance log.
//
// The memory level comes from NAVCONFIG_MEMORY_LEVEL when it holds an integer; otherwise from the machine's
// physical memory: 0 below 128 MiB, 1 below 256 MiB, 2 below 512 MiB, 3 below 1 GiB, 4 below 2 GiB and 5 from
// 2 GiB on (also when the size cannot be read).
class COroCacheMgr {
 public:
  int GetMemoryLevel(bool refresh);
  // phase 0 starts an interval, 1 ends it and logs its duration (when performance logging is on).
  void LogPerfInterval(int phase, const char* name, void* context);
};
COroCacheMgr* GetCacheMgr();
// The memory level of a machine with that much physical memory in MiB (0 when it cannot be read).
int MemoryLevelOf(uint64_t mib);

#endif
