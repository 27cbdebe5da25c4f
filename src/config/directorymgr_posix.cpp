// DirectoryMgr_Posix: the platform directories on POSIX systems.
#include <config/directorymgr.h>
#include <platform/os.h>

#include <string>

namespace {

// The value of a directory variable with a separator at its end, or false when it is unset or empty.
bool DirectoryFromEnvironment(const char* name, OROwstring& out) {
  std::string value;
  if (!platform::GetEnv(name, value) || value.empty()) return false;
  OROustring dir(value);
  dir.appendSlash();
  out = dir.wString();
  return true;
}

}  // namespace

DirectoryMgr_Posix::~DirectoryMgr_Posix() = default;

void DirectoryMgr_Posix::InitRuntimeDir() {
  if (DirectoryFromEnvironment("NAVCONFIG_RUNTIME_DIR", m_runtimeDir)) return;
  m_runtimeDir = OROwstring(platform::ModuleDirectory().c_str());
}

void DirectoryMgr_Posix::InitConfigDir() {
  if (DirectoryFromEnvironment("NAVCONFIG_CONFIG_DIR", m_configDir)) return;
  m_configDir = m_runtimeDir;
}

void DirectoryMgr_Posix::InitRegistryDir() { m_registryDir = OROwstring(platform::RegistryDirectory().c_str()); }

void DirectoryMgr_Posix::InitWriteableRootDir() {}
