// Heap calls, the fixed-size pool and the memory level of the utility library.
#include <doroutil/logmgr.h>
#include <doroutil/memory.h>
#include <platform/os.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

#include "fault_seam.h"

namespace {
std::atomic<uint64_t> g_allocations{0};
}

// Not inlined into the pool: its fault check would cost the pool's fast path registers.
[[gnu::noinline]] void* Mem_Malloc(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (platform::faults::AllocationInjected()) return nullptr;
  return std::malloc(size ? size : 1);
}

void* Mem_Realloc(void* block, size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (platform::faults::AllocationInjected()) return nullptr;  // the block stays the caller's, as realloc leaves it
  return std::realloc(block, size ? size : 1);
}

void Mem_Free(void* block) { std::free(block); }

uint64_t Mem_AllocationCount() { return g_allocations.load(std::memory_order_relaxed); }

// ---- Allocator ----

struct Allocator::Block {
  Block* next;
  // elements follow, aligned for any record
};

namespace {
constexpr size_t kAlign = alignof(std::max_align_t);
constexpr size_t RoundUp(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }
}  // namespace

Allocator::Allocator(size_t elementSize, int /*type*/, size_t blockBytes)
    : m_elementSize(RoundUp(elementSize < sizeof(void*) ? sizeof(void*) : elementSize)), m_blockBytes(blockBytes) {
  m_perBlock = 0;
  m_usedInBlock = 0;  // no block yet
}

Allocator::~Allocator() {
  while (m_blocks) {
    Block* next = m_blocks->next;
    Mem_Free(m_blocks);
    m_blocks = next;
  }
}

void* Allocator::Alloc() {
  if (m_freeList) {
    void* e = m_freeList;
    m_freeList = *static_cast<void**>(e);
    return e;
  }
  if (m_usedInBlock == m_perBlock) {
    size_t perBlock = m_blockBytes / m_elementSize;
    if (perBlock == 0) perBlock = 1;
    auto* b = static_cast<Block*>(Mem_Malloc(RoundUp(sizeof(Block)) + perBlock * m_elementSize));
    if (!b) return nullptr;
    b->next = m_blocks;
    m_blocks = b;
    m_perBlock = perBlock;
    m_usedInBlock = 0;
    constexpr size_t kLargestBlock = 64 * 1024;
    if (m_blockBytes < kLargestBlock) m_blockBytes *= 2;
  }
  char* base = reinterpret_cast<char*>(m_blocks) + RoundUp(sizeof(Block));
  return base + m_elementSize * m_usedInBlock++;
}

void Allocator::Free(void* element) {
  if (!element) return;
  *static_cast<void**>(element) = m_freeList;
  m_freeList = element;
}

// ---- COroCacheMgr ----

int COroCacheMgr::GetMemoryLevel(bool) {
  std::string forced;
  if (platform::GetEnv("NAVCONFIG_MEMORY_LEVEL", forced) && !forced.empty()) {
    char* end = nullptr;
    long v = std::strtol(forced.c_str(), &end, 10);
    if (end && *end == '\0') return static_cast<int>(v);
  }
  return MemoryLevelOf(platform::PhysicalMemoryBytes() >> 20);
}

int MemoryLevelOf(uint64_t mib) {
  if (mib == 0) return 5;
  if (mib < 128) return 0;
  if (mib < 256) return 1;
  if (mib < 512) return 2;
  if (mib < 1024) return 3;
  if (mib < 2048) return 4;
  return 5;
}

void COroCacheMgr::LogPerfInterval(int phase, const char* name, void*) {
  using Clock = std::chrono::steady_clock;
  static thread_local Clock::time_point start;
  if (phase == 0) {
    start = Clock::now();
    return;
  }
  CLogMgr* log = GetLogMgr();
  if (!log) return;
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  log->LockTempBuffer();
  const char* msg = log->MakeString("perf interval %s: %lld us", name ? name : "", static_cast<long long>(micros));
  log->Publish(0, 5, "cachemgr", 0, msg, GetThreadID(), true);
  log->UnlockTempBuffer();
}

COroCacheMgr* GetCacheMgr() {
  static COroCacheMgr mgr;
  return &mgr;
}
