// DirectoryMgr_Win32: the platform directories on Windows. The runtime directory is the folder of the
// library's own module file (config.dll, or the program that links the library statically), the
// configuration directory is the same folder until SU_Config names another, and the registry root is fixed.
#include <config/directorymgr.h>
#include <doroutil/orofilename.h>
#include <platform/os.h>

DirectoryMgr_Win32::~DirectoryMgr_Win32() = default;

void DirectoryMgr_Win32::InitRuntimeDir() {
  // The module's file name, taken through OroFileName for its folder with the separator at its end.
  const OroFileName module{OROustring(platform::ModuleFileName())};
  m_runtimeDir = module.GetFullPath(false).wString();
}

void DirectoryMgr_Win32::InitRegistryDir() { m_registryDir = OROwstring("\\windows"); }

void DirectoryMgr_Win32::InitConfigDir() { m_configDir = m_runtimeDir; }

void DirectoryMgr_Win32::InitWriteableRootDir() {}
