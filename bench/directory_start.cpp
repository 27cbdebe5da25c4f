// One start of the library, for counting its system calls (bench/count_fs_calls.sh): with the argument
// "start" the library is set up once (defaults, configuration manager, directory manager and its
// Initialize); without it the program does nothing, which gives the process's own calls. "reads N" starts the
// library and then makes N layered reads, each of another key.
#include <config/config_api.h>
#include <config/config_globals.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "start") == 0) return GetDirectoryMgr() ? 0 : 1;
  if (argc > 2 && std::strcmp(argv[1], "reads") == 0) {
    const long reads = std::strtol(argv[2], nullptr, 10);
    long sum = 0;
    for (long i = 0; i < reads; ++i)
      sum += Config_GetIntVal(("Section" + std::to_string(i % 100)).c_str(), ("Key" + std::to_string(i % 20)).c_str());
    return sum == -1 ? 1 : 0;
  }
  return 0;
}
