// Lock rules that the compiler checks: Clang's thread-safety attributes under short names, empty on every
// other compiler. A lock type is marked CAPABILITY; state that a lock guards is marked GUARDED_BY(lock); a
// function that needs a lock held says REQUIRES(lock) (or REQUIRES_SHARED for holding it to read), one that
// takes it itself says EXCLUDES(lock). `clang++ -Wthread-safety` (make test-threadsafety) then rejects an access
// to guarded state without its lock. See https://clang.llvm.org/docs/ThreadSafetyAnalysis.html.
#ifndef NAVCONFIG_PLATFORM_THREAD_ANNOTATIONS_H
#define NAVCONFIG_PLATFORM_THREAD_ANNOTATIONS_H

#if defined(__clang__)
#define NAVCONFIG_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define NAVCONFIG_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) NAVCONFIG_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY NAVCONFIG_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) NAVCONFIG_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) NAVCONFIG_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) NAVCONFIG_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define REQUIRES_SHARED(...) NAVCONFIG_THREAD_ATTRIBUTE(requires_shared_capability(__VA_ARGS__))
#define ACQUIRE(...) NAVCONFIG_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define ACQUIRE_SHARED(...) NAVCONFIG_THREAD_ATTRIBUTE(acquire_shared_capability(__VA_ARGS__))
#define RELEASE(...) NAVCONFIG_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define RELEASE_SHARED(...) NAVCONFIG_THREAD_ATTRIBUTE(release_shared_capability(__VA_ARGS__))
#define RELEASE_GENERIC(...) NAVCONFIG_THREAD_ATTRIBUTE(release_generic_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) NAVCONFIG_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) NAVCONFIG_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) NAVCONFIG_THREAD_ATTRIBUTE(assert_capability(x))
#define RETURN_CAPABILITY(x) NAVCONFIG_THREAD_ATTRIBUTE(lock_returned(x))
// For the few functions whose locking the analysis cannot follow; each says why where it is used.
#define NO_THREAD_SAFETY_ANALYSIS NAVCONFIG_THREAD_ATTRIBUTE(no_thread_safety_analysis)

#endif
