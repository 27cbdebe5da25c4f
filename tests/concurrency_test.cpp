// Several threads reading and writing the configuration at once. Built on its own so that the
// ThreadSanitizer build runs exactly this program.
#include <config/config_api.h>
#include <config/config_globals.h>
#include <config/config_listen.h>
#include <doroutil/sync.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "store_env.h"

using storetest::StoreTest;

namespace {

constexpr int kOperations = 2000;
constexpr int kWriters = 2;
constexpr int kReaders = 2;
constexpr int kKeysPerWriter = 25;  // prime to kWriteEvery, so every key gets written
constexpr int kSharedKeys = 10;
// Every save syncs the file to the disk: one operation of a writer in eight writes.
constexpr int kWriteEvery = 8;
constexpr int kProgressEvery = 40;

std::string WriterKey(int writer, int k) {
  char key[32];
  std::snprintf(key, sizeof key, "W%d_%d", writer, k);
  return key;
}
std::string SharedKey(int i) {
  char key[32];
  std::snprintf(key, sizeof key, "S%d", i);
  return key;
}

}  // namespace

class Concurrency : public StoreTest {};

TEST_F(Concurrency, ThreadsReadAndWriteAtOnce) {
  WriteCfg("product.cfg", "[Image]\n\"AllowSquish\"=4\n[Shared]\n\"Name\"=\"product\"\n");
  Reload();
  for (int i = 0; i < kSharedKeys; ++i) Config_SetIntVal("Shared", SharedKey(i).c_str(), i * 10);
  Config_SetStrVal("Shared", "Text", "shared text");
  Config_SetIntVal("Shared", "Progress", 0);

  std::atomic<int> failures{0};
  std::atomic<int> writes{0};
  std::vector<std::vector<long>> last(kWriters, std::vector<long>(kKeysPerWriter, -1));
  std::vector<std::thread> threads;

  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int op = 0; op < kOperations; ++op) {
        const int k = op % kKeysPerWriter;
        const std::string key = WriterKey(w, k);
        if (op % kWriteEvery == 0) {
          const long value = op + 1;
          if (w == 1 && k % 2 == 1) {
            Config_SetStrVal("Conc", key.c_str(), std::to_string(value).c_str());
          } else {
            Config_SetIntVal("Conc", key.c_str(), value);
          }
          last[w][k] = value;
          ++writes;
          if (w == 0 && op % kProgressEvery == 0) Config_SetIntVal("Shared", "Progress", op + 1);
        }
        // Nobody else writes this thread's keys: it reads back what it wrote last.
        const long expected = last[w][k];
        if (expected < 0) {
          if (Config_DoesKeyExist("Conc", key.c_str())) ++failures;
        } else if (w == 1 && k % 2 == 1) {
          if (storetest::Str("user\\Conc", key.c_str()) != std::to_string(expected)) ++failures;
        } else if (Config_GetIntVal("Conc", key.c_str()) != expected) {
          ++failures;
        }
        if (Config_GetIntVal("Shared", SharedKey(op % kSharedKeys).c_str()) != (op % kSharedKeys) * 10) ++failures;
      }
    });
  }
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&, r] {
      long progress = 0;
      char buffer[64];
      for (int op = 0; op < kOperations; ++op) {
        const int i = (op + r) % kSharedKeys;
        if (Config_GetIntVal("Shared", SharedKey(i).c_str()) != i * 10) ++failures;
        const long now = Config_GetIntVal("Shared", "Progress");
        if (now < progress) ++failures;
        progress = now;
        switch (op % 6) {
          case 0:
            if (Config_GetIntVal("Image", "KeepPercent") != 50) ++failures;  // from the defaults
            break;
          case 1:
            if (Config_GetIntVal("Image", "AllowSquish") != 4) ++failures;  // from product
            break;
          case 2:
            if (!Config_GetStrVal("Shared", "Text", buffer, sizeof buffer, nullptr) ||
                std::string(buffer) != "shared text")
              ++failures;
            break;
          case 3:
            if (Config_GetOroUStrVal("product\\Shared", "Name").str() != "product") ++failures;
            break;
          case 4:
            if (!Config_DoesKeyExist("Version", "Major") || Config_DoesKeyExist("Shared", "Missing")) ++failures;
            break;
          case 5:
            if (Config_GetIntValDefault("user\\Shared", "Missing", -3) != -3) ++failures;
            break;
        }
      }
    });
  }
  for (auto& t : threads) t.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(writes.load(), kWriters * (kOperations / kWriteEvery));
  const long finalProgress = Config_GetIntVal("Shared", "Progress");
  EXPECT_EQ(finalProgress, (kOperations - 1) / kProgressEvery * kProgressEvery + 1);

  // The file holds the last value of every key, and so does a manager that reads it afresh.
  Reload();
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeysPerWriter; ++k) {
      const std::string key = WriterKey(w, k);
      if (last[w][k] < 0) {
        EXPECT_FALSE(Config_DoesKeyExist("user\\Conc", key.c_str())) << key;
      } else if (w == 1 && k % 2 == 1) {
        EXPECT_EQ(storetest::Str("user\\Conc", key.c_str()), std::to_string(last[w][k])) << key;
      } else {
        EXPECT_EQ(Config_GetIntVal("user\\Conc", key.c_str()), last[w][k]) << key;
      }
    }
  }
  EXPECT_EQ(Config_GetIntVal("user\\Shared", "Progress"), finalProgress);
  for (int i = 0; i < kSharedKeys; ++i) EXPECT_EQ(Config_GetIntVal("user\\Shared", SharedKey(i).c_str()), i * 10);
  const std::string text = ReadCfg("user.cfg");
  EXPECT_EQ(text.substr(text.size() - 2), "\n\n");
  EXPECT_NE(storetest::SectionBlock(text, "[Conc]"), "<absent>");
}

namespace {

// The context of a listener: whether Config_RemoveChangeListener has returned, and its calls.
struct Listened {
  std::atomic<bool> removed{false};
  std::atomic<int> running{0};
  std::atomic<int> late{0};  // calls that began after the removal returned
};

void Slowly(const char*, const char*, const char*, void* context) {
  auto* listened = static_cast<Listened*>(context);
  if (listened->removed.load()) listened->late.fetch_add(1);
  listened->running.fetch_add(1);
  // A call that lasts, so that the removal meets it in progress.
  std::this_thread::sleep_for(std::chrono::microseconds(300));
  listened->running.fetch_sub(1);
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
  std::vector<std::unique_ptr<Listened>> listeners;
  int stillRunning = 0;
  for (int round = 0; round < 20; ++round) {
    listeners.push_back(std::make_unique<Listened>());
    Listened* listened = listeners.back().get();
    const int id = Config_AddChangeListener("listened", nullptr, Slowly, listened);
    while (listened->running.load() == 0) std::this_thread::yield();
    // A call is in progress on a writer's thread: the removal waits for its end.
    Config_RemoveChangeListener(id);
    if (listened->running.load() != 0) ++stillRunning;
    listened->removed.store(true);
  }
  stop.store(true);
  for (auto& t : writers) t.join();
  EXPECT_EQ(stillRunning, 0);
  for (const auto& listened : listeners) EXPECT_EQ(listened->late.load(), 0);
}

// The configuration's lock: readers together, a writer alone.
TEST(SharedCritSec, ReadersNeverSeeAWriteHalfDoneAndWritersExcludeEachOther) {
  sharedCritSec lock;
  long first = 0, second = 0;  // a writer keeps them equal
  std::atomic<bool> stop{false};
  std::atomic<long> torn{0};
  std::vector<std::thread> threads;
  for (int r = 0; r < 3; ++r) {
    threads.emplace_back([&] {
      while (!stop.load()) {
        lock.EnterShared();
        if (first != second) torn.fetch_add(1);
        lock.ExitShared();
      }
    });
  }
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        if (i % 2) {
          lock.Enter();
        } else {
          while (!lock.TryLock()) std::this_thread::yield();
        }
        ++first;
        std::this_thread::yield();
        ++second;
        lock.Exit();
      }
    });
  }
  threads[3].join();
  threads[4].join();
  stop.store(true);
  for (int r = 0; r < 3; ++r) threads[static_cast<size_t>(r)].join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(first, 4000);
  EXPECT_EQ(second, 4000);
}
