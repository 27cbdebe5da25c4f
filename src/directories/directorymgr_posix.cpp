// DirectoryMgr_Posix: the platform directories on POSIX systems.
#include <config/directorymgr.h>
#include <platform/os.h>

#include "directories/directory_paths.h"

using navconfig::DirectoryFromEnvironment;

DirectoryMgr_Posix::~DirectoryMgr_Posix() = default;

void DirectoryMgr_Posix::InitRuntimeDir() {
  if (DirectoryFromEnvironment("NAVCONFIG_RUNTIME_DIR", m_runtimeDir)) return;
  m_runtimeDir = OROwstring(platform::DefaultRuntimeDirectory().c_str());
}

void DirectoryMgr_Posix::InitConfigDir() {
  OROwstring system;
  m_systemConfigDir = DirectoryFromEnvironment("NAVCONFIG_SYSTEM_CONFIG_DIR", system)
                          ? system.uString()
                          : OROustring(platform::SystemConfigDirectory());
  if (DirectoryFromEnvironment("NAVCONFIG_CONFIG_DIR", m_configDir)) return;
  const std::string dir = platform::DefaultConfigDirectory();
  if (dir.empty()) {
    m_configDir = m_runtimeDir;
    return;
  }
  // The user's own folder of an installed library (~/.config/navconfig): made at the start, the user's alone, so
  // that the first start can record the directories in user.cfg. A folder that a variable names is never made.
  platform::MakeDirectories(dir, /*privateToUser=*/true);
  m_configDir = OROwstring(dir.c_str());
}

void DirectoryMgr_Posix::InitRegistryDir() { m_registryDir = OROwstring(platform::RegistryDirectory().c_str()); }

void DirectoryMgr_Posix::InitWriteableRootDir() {}
