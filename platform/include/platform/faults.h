// Failures on demand, for tests: the platform layer's calls to the operating system and the utility library's
// heap can be made to fail, so that what a save, a read or the registry store does when the disk is full, a
// folder is read-only or a call is interrupted can be tested without root tricks or full disks.
//
// Every call of the platform layer that opens a file (or makes a temporary one), reads, writes or syncs one,
// renames one, makes a folder or locks a file asks this seam first, and so do Mem_Malloc and Mem_Realloc (and
// the buffers of whole files read). A fault armed for a kind of call strikes the nth call of that kind counted
// from when it was armed, and the times-1 calls after it: each fails with the error given, as the system's call
// would, and leaves the system alone. Allocation faults make the allocation give null.
//
// Nothing is armed in normal use, and then a call costs one relaxed load and a branch that is never taken.
// Arming and counting are for one test at a time in a process; the calls themselves may come from any thread.
//
// Windows: the kinds stand for CreateFileW, ReadFile, WriteFile, FlushFileBuffers, MoveFileExW,
// CreateDirectoryW and LockFileEx, and the error is given as the Windows code of the same meaning (ENOSPC
// ERROR_DISK_FULL, EACCES ERROR_ACCESS_DENIED, EIO ERROR_IO_DEVICE, anything else ERROR_GEN_FAILURE). EINTR is
// POSIX-only: Windows calls are not interrupted, and a fault armed with EINTR leaves the calls alone there, as
// a retried call would end. The registry of Windows is the system's own and has no faults here.
#ifndef NAVCONFIG_PLATFORM_FAULTS_H
#define NAVCONFIG_PLATFORM_FAULTS_H

#include <cstdint>

namespace platform::faults {

enum class Call { Open, Read, Write, Sync, Rename, MakeDir, Lock };
inline constexpr int kCallKinds = 7;

// Arms a fault: the nth call of the kind from now on (1: the next one) and the times-1 calls after it fail with
// err (an errno value). Counting starts anew for that kind.
void Fail(Call call, int err, uint32_t nth = 1, uint32_t times = 1);
// The nth allocation from now on (1: the next one) and the times-1 after it give null.
void FailAllocations(uint32_t nth, uint32_t times = 1);
// Counts calls and allocations from now on without failing any (Calls, Allocations).
void Count();
// Disarms every fault and stops counting.
void Clear();
// The calls of a kind, and the allocations, seen since they were last armed or counted.
uint32_t Calls(Call call);
uint32_t Allocations();

// Whether the allocation about to be made is to fail (counted as one while faults are armed). Mem_Malloc and
// Mem_Realloc ask it; a test program that wants operator new to fail as well replaces operator new and asks it
// too (the library itself does not, since its callers are not prepared for std::bad_alloc).
bool AllocationFails();

}  // namespace platform::faults

#endif
