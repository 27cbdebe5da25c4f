// Several threads reading and writing the configuration at once, also while another process holds the lock of
// a layer's file. Built on its own so that the ThreadSanitizer build runs exactly this program.
#include <config/account.h>
#include <config/config_api.h>
#include <config/config_changes.h>
#include <config/config_globals.h>
#include <config/config_info.h>
#include <config/config_listen.h>
#include <config/data_dirs.h>
#include <doroutil/sync.h>
#include <gtest/gtest.h>
#include <platform/file_lock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "store/configmgr.h"
#include "store_env.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using storetest::StoreTest;

namespace {

constexpr int kOperations = 600;
constexpr int kWriters = 2;
constexpr int kKeys = 25;       // prime to kWriteEvery, so that every key gets written
constexpr int kWriteEvery = 8;  // every save syncs the file to the disk

std::string Key(int writer, int k) {
  char key[32];
  std::snprintf(key, sizeof key, "W%d_%d", writer, k);
  return key;
}
// Writer 1 stores every other key as a string.
bool AsText(int writer, int k) { return writer == 1 && k % 2 == 1; }

}  // namespace

class Concurrency : public StoreTest {};

TEST_F(Concurrency, ThreadsReadAndWriteAtOnce) {
  WriteCfg("product.cfg", "[Image]\n\"AllowSquish\"=4\n[Shared]\n\"Name\"=\"product\"\n");
  Reload();
  Config_SetIntVal("Shared", "Fixed", 7);  // in the user layer, rewritten with every save
  Config_SetIntVal("Kept", "K", 3);  // flushed again and again: it stays in the file
  ASSERT_TRUE(Config_SetSingleSignon("u", "pw", false));  // stored anew by the writers, read by the readers
  WriteCfg("version.dat", "Product Name: Maps\n");  // read by the readers, each dropping its cached record at times
  std::atomic<int> failures{0};
  std::vector<std::vector<long>> last(kWriters, std::vector<long>(kKeys, -1));
  // What a writer wrote last reads back, from memory or, after a reload, from the file.
  auto holds = [&](int w, int k, const char* section) {
    const std::string key = Key(w, k);
    if (last[w][k] < 0) return !Config_DoesKeyExist(section, key.c_str());
    if (AsText(w, k)) return storetest::Str(section, key.c_str()) == std::to_string(last[w][k]);
    return Config_GetIntVal(section, key.c_str()) == last[w][k];
  };
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int op = 0; op < kOperations; ++op) {
        const int k = op % kKeys;
        if (op % kWriteEvery == 0) {
          last[w][k] = op + 1;  // nobody else writes this thread's keys
          const std::string key = Key(w, k), text = std::to_string(op + 1);
          if (AsText(w, k)) Config_SetStrVal("Conc", key.c_str(), text.c_str());
          else Config_SetIntVal("Conc", key.c_str(), op + 1);
        }
        if (op % 50 == w && !Config_SetSingleSignon("", "pw", false)) ++failures;
        if (!holds(w, k, "Conc") || Config_GetIntVal("Shared", "Fixed") != 7) ++failures;
      }
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&, r] {
      // Values of the user layer, of product and of the defaults, while the user layer changes.
      for (int op = r; op < kOperations + r; ++op) {
        if (op % 7 == 0) Config_FlushBranch("user\\Kept");
        if (Config_GetIntVal("Shared", "Fixed") != 7 || Config_GetIntVal("Image", "AllowSquish") != 4 ||
            Config_GetIntVal("Image", "KeepPercent") != 50 ||
            storetest::Str("product\\Shared", "Name") != "product" || Config_DoesKeyExist("Shared", "Missing"))
          ++failures;
        char password[8];
        if (op % 10 == 0 && (!Config_GetSingleSignon(nullptr, 0, password, sizeof password) ||
                             std::string(password) != "pw"))
          ++failures;
        if (op % 3 == 0 &&
            Config_GetDataVersionInfo(configDir.c_str(), "version.dat", "Product Name:", op % 2 == 0).str() != "Maps")
          ++failures;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);

  // The file holds the last value of every key, and so does a manager that reads it afresh.
  Reload();
  for (int w = 0; w < kWriters; ++w)
    for (int k = 0; k < kKeys; ++k) EXPECT_TRUE(holds(w, k, "user\\Conc")) << Key(w, k);
  EXPECT_EQ(Config_GetIntVal("user\\Shared", "Fixed"), 7);
  EXPECT_EQ(Config_GetIntVal("user\\Kept", "K"), 3);
}

// Readers that need a section's table of values at the same moment: one makes it, the others wait for it.
TEST_F(Concurrency, ReadersThatNeedTheSameSectionsTableAtOnceAllFindItsValues) {
  constexpr int kSections = 40, kKeysEach = 2000;
  std::string text;
  for (int s = 0; s < kSections; ++s) {
    text += "[S" + std::to_string(s) + "]\n";
    for (int k = 0; k < kKeysEach; ++k) text += "\"K" + std::to_string(10000 + k) + "\"=" + std::to_string(k) + "\n";
  }
  WriteCfg("product.cfg", text);
  Reload();
  EXPECT_EQ(Config_GetIntVal("product\\S0", "K10000"), 0);  // the layer read; S1 onwards have no table yet
  std::atomic<int> failures{0}, started{0};
  const auto read = [&] {
    for (++started; started.load() < 2;) std::this_thread::yield();
    for (int s = 1; s < kSections; ++s)
      if (Config_GetIntVal(("product\\S" + std::to_string(s)).c_str(), "K11999") != kKeysEach - 1) ++failures;
  };
  std::thread other(read);
  read();
  other.join();
  EXPECT_EQ(failures.load(), 0);
}

// A change set of many keys applied while other threads read them, in memory and in the file.
TEST_F(Concurrency, ThreadsSeeAChangeSetWholeOrNotAtAll) {
  constexpr int kSetKeys = 40, kSets = 60;
  const std::string last = storetest::SetKey(kSetKeys - 1);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      // A set writes K0 first and its last key last, so a read of K0 and then of the last key finds the last key
      // at least as new as K0, unless a reader could see a set made in part.
      while (!done.load())
        if (Config_GetIntVal("Sets", "K0") > Config_GetIntVal("Sets", last.c_str())) ++torn;
    });
  }
  readers.emplace_back([&] {
    long number = 0;
    while (!done.load())
      if (!storetest::WholeSet(Block("user.cfg", "[Sets]"), kSetKeys, &number)) ++torn;
  });
  // While a thread of this process has the file open, Windows refuses to replace it: that save fails, memory keeps
  // the set and a later save writes it. The last set is made once the readers are gone, and is saved.
  for (int n = 1; n <= kSets + 1; ++n) {
    if (n == kSets + 1) {
      done.store(true);
      for (auto& t : readers) t.join();
    }
    Config_ChangeSet* set = Config_ChangeSetNew();
    for (int k = 0; k < kSetKeys; ++k) Config_ChangeSetSetInt(set, "Sets", storetest::SetKey(k).c_str(), n);
    EXPECT_TRUE(Config_ChangeSetApply(set) || n <= kSets) << storetest::SaveOutcome("user");
    Config_ChangeSetFree(set);
  }
  EXPECT_EQ(torn.load(), 0);
  long number = 0;
  EXPECT_TRUE(storetest::WholeSet(Block("user.cfg", "[Sets]"), kSetKeys, &number) && number == kSets + 1);
}

TEST_F(Concurrency, ALockHeldElsewhereStallsNoReadFailsTheSaveInTimeAndItsReleaseLetsTheQueuedSavesGo) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  Config_SetIntVal("Held", "K", 1);
  const std::string before = ReadCfg("user.cfg");
  testsupport::LockHolder holder(platform::LockFileOf(Cfg("user.cfg")));
  ASSERT_TRUE(holder.Holds());

  // The save waits on its thread; reads on this one answer from memory meanwhile.
  GetConfigMgr()->SetSaveLockTimeout(milliseconds(600));
  const auto start = Clock::now();
  std::thread writer([] { Config_SetIntVal("Held", "K", 2); });
  Clock::duration slowest{};
  while (Clock::now() - start < milliseconds(400)) {
    const auto read = Clock::now();
    EXPECT_NE(Config_GetIntVal("Held", "K"), 0);
    slowest = std::max(slowest, Clock::now() - read);
  }
  writer.join();
#ifndef _WIN32
  // A child forked while a thread of this process waits for the lock shares none of it (a lock belongs to the open
  // file, which a copied descriptor shares): the saves below get the lock once the holder ends.
  const pid_t child = fork();
  if (child == 0) for (;;) pause();
#endif
  EXPECT_LT(slowest, milliseconds(200));
  EXPECT_GE(Clock::now() - start, milliseconds(600));
  EXPECT_EQ(ReadCfg("user.cfg"), before);
  const std::string reason = GetConfigMgr()->LastSave("user")->reason;
  EXPECT_EQ(reason.rfind("lock .user.cfg.lock: held by another process; waited ", 0), 0u) << reason;
  EXPECT_EQ(Config_GetIntVal("Held", "K"), 2);  // memory keeps the change
  // Erasing the file waits for the lock as long, and then erases it all the same.
  const auto erase = Clock::now();
  EXPECT_TRUE(Config_RestoreDefaults());
  EXPECT_GE(Clock::now() - erase, milliseconds(600));

  // A start, made by the first read, does not wait: the directories it records go with the next save.
  WriteCfg("user.cfg", "[Started]\n\"K\"=5\n");
  const auto restart = Clock::now();
  Restart();
  EXPECT_EQ(Config_GetIntVal("Started", "K"), 5);
  EXPECT_LT(Clock::now() - restart, milliseconds(2000));

  // This process's saves queue behind the one that waits; once the holder ends (the system lets its lock go
  // however it ends), they write what changed since the file was erased.
  std::thread first([] { Config_SetIntVal("Held", "A", 1); });
  std::thread second([] { Config_SetIntVal("Held", "B", 1); });
  std::this_thread::sleep_for(milliseconds(200));
  holder.Release();
  first.join();
  second.join();
  EXPECT_EQ(storetest::SaveOutcome("user"), "ok");
  EXPECT_EQ(Block("user.cfg", "[Held]"), "[Held]\n\"A\"=1\n\"B\"=1\n\n");
  Config_SetIntVal("Held", "C", 1);
  EXPECT_EQ(storetest::SaveOutcome("user"), "ok");
  EXPECT_NE(Block("user.cfg", "[Directories]"), "");
#ifndef _WIN32
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
#endif
}

namespace {

// The context of a listener: whether Config_RemoveChangeListener has returned, its calls in progress, and
// the calls that began after the removal returned.
struct Listened {
  std::atomic<int> removed{0}, running{0}, late{0};
};

void Slowly(const char*, const char*, const char*, void* context) {
  auto* listened = static_cast<Listened*>(context);
  listened->late += listened->removed.load();
  ++listened->running;
  std::this_thread::sleep_for(std::chrono::microseconds(300));  // so that the removal meets a call in progress
  --listened->running;
}

}  // namespace

TEST_F(Concurrency, AListenerRemovedWhileOtherThreadsDeliverIsNeverCalledOnceRemovalReturns) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      const std::string key(1, static_cast<char>('A' + w));
      for (long i = 1; !stop.load(); ++i) Config_SetIntVal("Listened", key.c_str(), i);
    });
  }
  Listened listeners[20];
  int stillRunning = 0;
  for (Listened& listened : listeners) {
    const int id = Config_AddChangeListener("listened", nullptr, Slowly, &listened);
    // Waiting asleep: a thread spinning here can starve the writers of a loaded machine (under Wine for minutes).
    while (listened.running.load() == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    // A call is in progress on a writer's thread: the removal waits for its end.
    Config_RemoveChangeListener(id);
    stillRunning += listened.running.load() != 0;
    listened.removed = 1;
  }
  stop.store(true);
  for (auto& t : writers) t.join();
  EXPECT_EQ(stillRunning, 0);
  for (const Listened& listened : listeners) EXPECT_EQ(listened.late.load(), 0);
}

// The configuration's lock: readers together, a writer alone.
TEST(SharedCritSec, ReadersNeverSeeAWriteHalfDoneAndWritersExcludeEachOther) {
  sharedCritSec lock;
  long first = 0, second = 0;  // a writer keeps them equal
  std::atomic<int> writing{kWriters};
  std::atomic<long> torn{0};
  std::vector<std::thread> threads;
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      while (writing.load() > 0) {
        lock.EnterShared();
        torn += first != second;
        lock.ExitShared();
        std::this_thread::yield();
      }
    });
  }
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        if (i % 2) lock.Enter();
        else while (!lock.TryLock()) std::this_thread::yield();
        ++first;
        std::this_thread::yield();
        ++second;
        lock.Exit();
      }
      --writing;
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_TRUE(first == 2000 && second == 2000) << first << " " << second;
}

// A thread asleep on a lock is woken when the lock is let go, every time: a lost wakeup would leave it asleep while
// nobody holds the lock. A reader sleeps on the shared lock and another thread on the plain one, round after round.
TEST(SharedCritSec, EverySleeperIsWokenWhenTheLockIsLetGo) {
  struct Locks {
    sharedCritSec shared;
    critSec plain;
    std::atomic<int> round{0}, woken{0};
  };
  auto* locks = new Locks;  // left to the sleepers if one never wakes
  constexpr int kRounds = 1000;
  std::vector<std::thread> sleepers;
  for (int s = 0; s < 2; ++s)
    sleepers.emplace_back([locks, s] {
      for (int r = 1; r <= kRounds; ++r) {
        while (locks->round.load() < r) std::this_thread::yield();
        if (s == 0) locks->shared.EnterShared(), locks->shared.ExitShared();
        else locks->plain.Enter(), locks->plain.Exit();
        ++locks->woken;
      }
    });
  for (int r = 1; r <= kRounds; ++r) {
    locks->shared.Enter();
    locks->plain.Enter();
    locks->round = r;
    for (int i = 0; i < 50; ++i) std::this_thread::yield();  // time for both to go to sleep
    locks->plain.Exit();
    locks->shared.Exit();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (locks->woken.load() < 2 * r && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    if (locks->woken.load() < 2 * r) {
      for (auto& t : sleepers) t.detach();
      FAIL() << "a sleeper was not woken in round " << r;
    }
  }
  for (auto& t : sleepers) t.join();
  delete locks;
}
