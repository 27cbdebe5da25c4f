// Loads one layer file in a fresh process and tells what it cost: layer_memory <folder> <layer> reads
// <folder><layer>.cfg through the library (a full-path read loads the layer) and prints the file's size, the
// resident size before the load, the peak resident size (VmHWM) after it, and the load's duration.
// load_benchmark runs it for its memory figures; it can be run by hand on any file.
#include <config/config_api.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// A field of /proc/self/status in kB, or -1.
long StatusKb(const char* field) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long kb = -1;
  const size_t n = std::strlen(field);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, field, n) == 0 && line[n] == ':') kb = std::strtol(line + n + 1, nullptr, 10);
  std::fclose(f);
  return kb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: layer_memory <folder ending in a separator> <layer>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string layer = argv[2];
  setenv("NAVCONFIG_CONFIG_DIR", folder.c_str(), 1);
  setenv("NAVCONFIG_RUNTIME_DIR", folder.c_str(), 1);
  setenv("NAVCONFIG_HOME", (folder + "home").c_str(), 1);
  std::error_code ec;
  const auto fileBytes = std::filesystem::file_size(folder + layer + ".cfg", ec);
  if (ec) {
    std::fprintf(stderr, "layer_memory: no file %s%s.cfg\n", folder.c_str(), layer.c_str());
    return 1;
  }
  // The library set up first, so that only the load is measured.
  Config_GetIntVal("no_such_layer\\Section", "Key");
  const long before = StatusKb("VmRSS");
  const auto t0 = std::chrono::steady_clock::now();
  Config_GetIntVal((layer + "\\Section").c_str(), "Key");
  const auto t1 = std::chrono::steady_clock::now();
  std::printf("file_bytes=%llu rss_before_kb=%ld peak_kb=%ld load_s=%.3f\n",
              static_cast<unsigned long long>(fileBytes), before, StatusKb("VmHWM"),
              std::chrono::duration<double>(t1 - t0).count());
  return 0;
}
