#include "support/tools.h"

#include <cstdio>
#include <fstream>
#include <regex>

namespace quenbolt {

std::pair<std::string, int> runTool(const std::string& command) {
  std::string output;
#ifndef _WIN32
  if (FILE* pipe = popen(("export PATH=\"$PATH:/usr/sbin:/sbin\"; " + command).c_str(), "r")) {
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
      output.append(chunk, n);
    return {output, pclose(pipe)};
  }
#endif
  return {output + command.substr(0, 0), -1};
}

const char* const kWindowsGptScript =
    "label: gpt\nlabel-id: 51424C54-0000-4000-8000-000000000001\nsize=100MiB, "
    "type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\n"
    "size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE\nsize=800MiB, "
    "type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n"
    "size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC\n";

std::optional<std::vector<SfdiskPartition>> sfdiskDisk(const std::string& script,
                                                       std::uint64_t bytes,
                                                       SimulatedMachine& machine, unsigned index) {
  const std::string dir = runTool("mktemp -d").first,
                    image = dir.substr(0, dir.find('\n')) + "/disk.img";
  const std::string json = runTool("truncate -s " + std::to_string(bytes) + " '" + image +
                                   "' && sfdisk -q --no-reread --no-tell-kernel '" + image +
                                   "' >/dev/null 2>&1 <<'EOF' && sfdisk -J '" + image +
                                   "' 2>/dev/null\n" + script + "EOF\n")
                               .first;
  std::ifstream in(image, std::ios::binary);
  if (!json.empty()) machine.addDisk(index, bytes);
  for (std::uint64_t at = 0; !json.empty() && at < bytes;
       at = at == 33 * 512 ? bytes - 33 * 512 : at + 512) {  // all a GPT of 128 entries holds
    Sector sector{};
    if (in.seekg(static_cast<std::streamoff>(at))
            .read(reinterpret_cast<char*>(sector.data()), 512) &&
        sector != Sector{})
      machine.disks[index].put(at, sector);
  }
  runTool("rm -rf '" + image.substr(0, image.rfind('/')) + "'");
  if (json.empty()) return std::nullopt;
  std::vector<SfdiskPartition> partitions;
  const std::regex object(
      "\"start\": *([0-9]+),\\s*\"size\": *([0-9]+)[^}]*");  // the rest of one partition's object
  for (std::sregex_iterator it(json.begin(), json.end(), object), end; it != end; ++it) {
    partitions.push_back({std::stoull((*it)[1]), std::stoull((*it)[2]),
                          it->str().find("GUID:62") != std::string::npos});
  }
  return partitions;
}

}  // namespace quenbolt
