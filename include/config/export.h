/* The one export macro of libnavconfig.
 *
 * Everything in the shared object is hidden unless it is marked NAVCONFIG_API. Programs that link the
 * internal static library (the test programs) define NAVCONFIG_STATIC, so that nothing is imported. */
#ifndef NAVCONFIG_CONFIG_EXPORT_H
#define NAVCONFIG_CONFIG_EXPORT_H

#if defined(NAVCONFIG_STATIC)
#  define NAVCONFIG_API
#elif defined(_WIN32)
#  if defined(NAVCONFIG_BUILDING)
#    define NAVCONFIG_API __declspec(dllexport)
#  else
#    define NAVCONFIG_API __declspec(dllimport)
#  endif
#else
#  define NAVCONFIG_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#  define NAVCONFIG_EXTERN_C extern "C"
#  define NAVCONFIG_BEGIN_C extern "C" {
#  define NAVCONFIG_END_C }
#else
#  define NAVCONFIG_EXTERN_C
#  define NAVCONFIG_BEGIN_C
#  define NAVCONFIG_END_C
#endif

#endif
