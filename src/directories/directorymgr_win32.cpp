// DirectoryMgr_Win32: the platform directories on Windows. The runtime directory is NAVCONFIG_RUNTIME_DIR when
// it is set, else the folder of the library's own module file (config.dll, or the program that links the
// library statically); the configuration directory is NAVCONFIG_CONFIG_DIR when it is set, else the runtime
// directory, until SU_Config names another. The registry root is fixed.
#include <config/directorymgr.h>
#include <doroutil/orofilename.h>
#include <platform/os.h>

#include "directories/directory_paths.h"

using navconfig::DirectoryFromEnvironment;

DirectoryMgr_Win32::~DirectoryMgr_Win32() = default;

void DirectoryMgr_Win32::InitRuntimeDir() {
  if (DirectoryFromEnvironment("NAVCONFIG_RUNTIME_DIR", m_runtimeDir)) return;
  // The module's file name, taken through OroFileName for its folder with the separator at its end.
  const OroFileName module{OROustring(platform::ModuleFileName())};
  m_runtimeDir = module.GetFullPath(false).wString();
}

void DirectoryMgr_Win32::InitRegistryDir() { m_registryDir = OROwstring("\\windows"); }

void DirectoryMgr_Win32::InitConfigDir() {
  if (DirectoryFromEnvironment("NAVCONFIG_CONFIG_DIR", m_configDir)) return;
  m_configDir = m_runtimeDir;
}

void DirectoryMgr_Win32::InitWriteableRootDir() {}
