/* A C program's view of the registry functions: the header compiles as C and the functions link by their
 * plain names. */
#include <config/registry.h>

/* Creates the key, writes the value and reads it back; the value read, or -1 when a call failed. */
long CCallerRegistryRoundTrip(long root, const char* subKey, uint32_t value) {
  uint32_t back = 0;
  if (Config_RegistryCreateKey(root, subKey) != 0) return -1;
  if (Config_RegistrySetIntValue(root, subKey, "FromC", value) != 0) return -1;
  if (Config_RegistryGetIntValue(root, subKey, "FromC", &back) != 0) return -1;
  return (long)back;
}
