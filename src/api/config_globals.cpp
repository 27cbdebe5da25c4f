// CConfigGlobals: the process-wide holder of the defaults, the configuration manager and the directory
// manager, set up on first use and torn down when the library is unloaded.
#include "api/globals.h"

#include <config/config_globals.h>
#include <doroutil/logmgr.h>
#include <doroutil/memory.h>
#include <doroutil/strutil.h>
#include <platform/os.h>

#include <cstring>
#include <string>
#include <utility>

#include "directories/directories.h"
#include "store/change_listeners.h"
#include "store/configmgr.h"

using namespace navconfig;

namespace {

CConfigGlobals& Instance() {
  // Made on first use, so that a call from another module's static initialisation finds it built.
  static CConfigGlobals globals;
  return globals;
}

// What the configuration manager is handed: the folders of the directory manager and the defaults of the moment.
class LibraryEnvironment final : public StoreEnvironment {
 public:
  std::string ConfigDirectory() const override {
    DirectoryMgr* dirs = Instance().m_pDirectoryMgr;
    return dirs ? dirs->GetConfigDir().uString().str() : std::string();
  }
  std::string RuntimeDirectory() const override {
    DirectoryMgr* dirs = Instance().m_pDirectoryMgr;
    return dirs ? dirs->GetRuntimeDir().uString().str() : std::string();
  }
  bool RemakeConfigDirectory() const override {
    const std::string dir = platform::DefaultConfigDirectory();
    return !dir.empty() && dir == ConfigDirectory() && !platform::IsDirectory(dir) &&
           platform::MakeDirectories(dir, /*privateToUser=*/true);
  }
  std::string SystemConfigDirectory() const override {
    DirectoryMgr* dirs = Instance().m_pDirectoryMgr;
    return dirs ? dirs->GetSystemConfigDir().str() : std::string();
  }
  const ConfigDefault* FindDefault(const char* key) const override { return Globals().FindDefault(key); }
  // During the set-up the holder's lock is held, and nobody can have registered yet.
  bool ListenersMayRun() const override { return Instance().IsSetUp(); }
};

CConfigMgr* NewConfigMgr() {
  // Never destroyed: the holder's teardown at the end of the process still hands it to a manager.
  static LibraryEnvironment* const environment = new LibraryEnvironment();
  auto* mgr = new CConfigMgr(*environment);
  SetCurrentTreeOwner(mgr->TreeOwnerOfMembers());
  return mgr;
}

void DeleteConfigMgr(CConfigMgr*& mgr) {
  if (!mgr) return;
  SetCurrentTreeOwner(nullptr);
  delete mgr;
  mgr = nullptr;
}

// The store that the directory code reads and writes settings through: the manager of the moment.
CConfigMgr* CurrentConfigMgr() { return Instance().m_pConfigMgr; }

}  // namespace

CConfigGlobals::CConfigGlobals() { UseStore(&CurrentConfigMgr); }

CConfigGlobals::~CConfigGlobals() { TryTeardown(); }

void CConfigGlobals::AddDependencies() { AddDependency(GetOROUtilGlobals()); }

void CConfigGlobals::DoSetup() {
  SetupConfigDefaults(m_pConfigDefaultsTable, m_pPriorityDefaultsTable);
  if (IsHashTableStatsLoggingEnabled()) LogDefaultsStatistics(m_pConfigDefaultsTable);
  if (!m_pConfigMgr) m_pConfigMgr = NewConfigMgr();
  if (!m_pDirectoryMgr) m_pDirectoryMgr = new DirectoryMgr_Platform();
  m_pDirectoryMgr->Initialize();
}

void CConfigGlobals::DoTeardown() {
  if (m_pConfigMgr) m_pConfigMgr->ApplyRestoreSettings();  // while the configuration directory is known
  delete m_pDirectoryMgr;
  m_pDirectoryMgr = nullptr;
  DeleteConfigMgr(m_pConfigMgr);
  TeardownConfigDefaults(m_pConfigDefaultsTable, m_pPriorityDefaultsTable);
  ReleaseCachedPassword();
  // The modules that registered them may be gone too.
  ForgetChangeListeners();
}

void navconfig::WipeSecret(char* data, size_t size) {
  // The volatile writes are not optimised away.
  for (volatile char* p = data; size--;) *p++ = '\0';
}

bool CConfigGlobals::CachedPassword(const char* protectedText, char* buffer, long size) {
  m_passwordLock.Enter();
  const bool kept = m_pCachedPassword && std::strcmp(m_pCachedPassword, protectedText) == 0;
  if (kept && buffer) CopyTruncated(buffer, size, m_pCachedPassword + std::strlen(protectedText) + 1);
  m_passwordLock.Exit();
  return kept;
}

void CConfigGlobals::KeepPassword(const char* protectedText, const char* password) {
  const size_t protectedSize = std::strlen(protectedText) + 1, size = protectedSize + std::strlen(password) + 1;
  auto* block = static_cast<char*>(Mem_Malloc(size));
  if (block) {
    std::memcpy(block, protectedText, protectedSize);
    std::memcpy(block + protectedSize, password, size - protectedSize);
  }
  m_passwordLock.Enter();
  char* old = std::exchange(m_pCachedPassword, block);
  const size_t oldSize = std::exchange(m_cachedSize, block ? size : 0);
  m_passwordLock.Exit();
  if (!old) return;
  navconfig::WipeSecret(old, oldSize);
  Mem_Free(old);
}

void CConfigGlobals::ReleaseCachedPassword() {
  m_passwordLock.Enter();
  char* old = std::exchange(m_pCachedPassword, nullptr);
  const size_t size = std::exchange(m_cachedSize, 0);
  m_passwordLock.Exit();
  if (!old) return;
  navconfig::WipeSecret(old, size);
  Mem_Free(old);
}

DirectoryMgr_Platform* CConfigGlobals::GetDirectoryMgr() {
  Setup();
  return m_pDirectoryMgr;
}

void CConfigGlobals::DestroyDirectoryMgr() {
  delete m_pDirectoryMgr;
  m_pDirectoryMgr = nullptr;
}

void CConfigGlobals::CreateDirectoryMgr() {
  m_pDirectoryMgr = new DirectoryMgr_Platform();
  // Initialize reads settings under the configuration's lock, and a settings read sets the holder up when it
  // is not yet (for the defaults), which would initialise this manager again while the lock is held. A reset
  // before the first use therefore is the first set-up, which initialises the new manager once.
  if (!IsSetUp()) {
    Setup();
    if (IsSetUp()) return;
  }
  m_pDirectoryMgr->Initialize();
}

void CConfigGlobals::ResetDataDirMgr() {
  DestroyDirectoryMgr();
  CreateDirectoryMgr();
}

void CConfigGlobals::ReplaceConfigMgr() {
  DeleteConfigMgr(m_pConfigMgr);
  m_pConfigMgr = NewConfigMgr();
}

namespace navconfig {

CConfigGlobals& Globals() {
  CConfigGlobals& g = Instance();
  g.Setup();
  return g;
}

void FailedWrite(const char* section) noexcept {
  if (CConfigMgr* mgr = Instance().m_pConfigMgr) mgr->RecordFailedWrite(section, CurrentFailure());
}

}  // namespace navconfig

CConfigGlobals* GetConfigGlobals() { return &Instance(); }

CConfigMgr* GetConfigMgr() { return Globals().m_pConfigMgr; }

DirectoryMgr_Platform* GetDirectoryMgr() { return Instance().GetDirectoryMgr(); }

void ResetDataDirMgr() { Instance().ResetDataDirMgr(); }
