// Publishing a message through the utility library's log manager in one call.
#ifndef NAVCONFIG_SRC_COMMON_LOG_H
#define NAVCONFIG_SRC_COMMON_LOG_H

namespace navconfig {

constexpr int kLogCategoryGeneral = 0;
constexpr int kLogCategoryDirectories = 16;
constexpr int kLogLevelError = 2;
constexpr int kLogLevelInfo = 5;

// Makes the message printf-style and publishes it with the source name and line; nothing when there is no
// log manager.
void LogMessage(int category, int level, const char* source, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

}  // namespace navconfig

#endif
