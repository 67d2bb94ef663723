#include "support/tools.h"
#include <cstdio>

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
    "label: gpt\nlabel-id: 51424C54-0000-4000-8000-000000000001\n"
    "size=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\n"
    "size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE\n"
    "size=800MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7\n"
    "size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC\n";

bool sfdiskDisk(const std::string& script, std::uint64_t bytes, SimulatedMachine& machine,
                unsigned index) {
  const std::string dir = runTool("mktemp -d | tr -d '\\n'").first;
  const std::string image = "'" + dir + "/disk.img'";
  const bool made = runTool("truncate -s " + std::to_string(bytes) + " " + image +
                            " && sfdisk -q --no-reread --no-tell-kernel " + image +
                            " >/dev/null 2>&1 <<'EOF'\n" + script + "EOF\n")
                        .second == 0;
  if (made) {
    SimulatedDisk& disk = machine.addDisk(index, bytes);
    disk.put(0, runTool("head -c " + std::to_string(34 * 512) + " " + image).first);
    disk.put(bytes - 33 * 512, runTool("tail -c " + std::to_string(33 * 512) + " " + image).first);
  }
  runTool("rm -rf '" + dir + "'");
  return made;
}
}  // namespace quenbolt
