// DirectoryMgr_Posix: the platform directories on POSIX systems.
#include <config/directorymgr.h>
#include <platform/os.h>

#include "directories/directory_paths.h"

using navconfig::DirectoryFromEnvironment;

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
