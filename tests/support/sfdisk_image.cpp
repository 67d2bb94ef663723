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
  for (off_t data = lseek(fd, 0, SEEK_DATA), hole; fd >= 0 && data >= 0; data = lseek(fd, hole, SEEK_DATA)) {  // stretches the file holds
    hole = lseek(fd, data, SEEK_HOLE);
    for (off_t at = data / 512 * 512; at < hole; at += 512) {
      Sector sector{};
      if (pread(fd, sector.data(), 512, at) == 512 && sector != Sector{}) disk.put(at, sector);
    }
  }
  if (fd >= 0) close(fd), unlink(path.c_str());
#endif
  if (json.empty()) return std::nullopt;
  std::vector<SfdiskPartition> partitions;
  const std::regex object("\\{[^{}]*\"node\"[^{}]*\\}"), start("\"start\": *([0-9]+)"), size("\"size\": *([0-9]+)"),
      type("\"type\": *\"([^\"]*)\""), attrs("\"attrs\": *\"([^\"]*)\"");
  for (std::sregex_iterator it(json.begin(), json.end(), object), end; it != end; ++it) {
    const std::string text = it->str();
    std::smatch m;
    SfdiskPartition p;
    if (std::regex_search(text, m, start)) p.start = std::stoull(m[1]);
    if (std::regex_search(text, m, size)) p.size = std::stoull(m[1]);
    if (std::regex_search(text, m, type)) p.type = m[1];
    p.hidden = std::regex_search(text, m, attrs) && m[1].str().find("GUID:62") != std::string::npos;
    partitions.push_back(p);
  }
  return partitions;
}

}  // namespace quenbolt
