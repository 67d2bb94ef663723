#include "support/sfdisk_image.h"
#include <cstdlib>
#include <regex>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quenbolt {
const char* const kWindowsGptScript =
    "label: gpt\nlabel-id: 51424C54-0000-4000-8000-000000000001\nsize=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\n"
    "size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE\nsize=800MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7\n"
    "size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC\n";

std::optional<std::vector<SfdiskPartition>> sfdiskDisk(const std::string& script, std::uint64_t bytes, SimulatedMachine& machine, unsigned index) {
  std::string json;
#ifdef _WIN32
  (void)script, (void)bytes, (void)machine, (void)index;
#else
  std::string path = std::string(getenv("TMPDIR") && *getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/quenbolt-sfdisk-XXXXXX";
  const int fd = mkstemp(&path[0]);
  const std::string sfdisk = "PATH=\"$PATH:/usr/sbin:/sbin\" sfdisk ";
  FILE* in = fd >= 0 && ftruncate(fd, static_cast<off_t>(bytes)) == 0 ? popen((sfdisk + "-q --no-reread --no-tell-kernel '" + path + "' >/dev/null 2>&1").c_str(), "w") : nullptr;
  if (in) fputs(script.c_str(), in);
  FILE* out = in && pclose(in) == 0 ? popen((sfdisk + "-J '" + path + "' 2>/dev/null").c_str(), "r") : nullptr;
  char buffer[4096];
  for (std::size_t got; out && (got = fread(buffer, 1, sizeof buffer, out)) > 0;) json.append(buffer, got);
  if (out) pclose(out);
  SimulatedDisk& disk = machine.addDisk(index, bytes);
  for (std::uint64_t at = 0; fd >= 0 && at < bytes; at = at == 33 * 512 ? bytes - 33 * 512 : at + 512) {  // all a GPT of 128 entries holds
    Sector sector{};
    if (pread(fd, sector.data(), 512, static_cast<off_t>(at)) == 512 && sector != Sector{}) disk.put(at, sector);
  }
  if (fd >= 0) close(fd), unlink(path.c_str());
#endif
  if (json.empty()) return std::nullopt;
  std::vector<SfdiskPartition> partitions;
  const std::regex object("\"start\": *([0-9]+),\\s*\"size\": *([0-9]+)[^}]*");  // the rest of one partition's object
  for (std::sregex_iterator it(json.begin(), json.end(), object), end; it != end; ++it) {
    partitions.push_back({std::stoull((*it)[1]), std::stoull((*it)[2]), it->str().find("GUID:62") != std::string::npos});
  }
  return partitions;
}
}  // namespace quenbolt
