#include "support/sfdisk_image.h"

#include <regex>

#ifndef _WIN32
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace quenbolt {

const char* const kWindowsGptScript =
    "label: gpt\n"
    "label-id: 51424C54-0000-4000-8000-000000000001\n"
    "size=100MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\n"
    "size=16MiB, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE\n"
    "size=800MiB, type=EBD0A0A2-B9E5-4433-87C0-68B4B72699C7\n"
    "size=100MiB, type=DE94BBA4-06D1-4D40-A16A-BFD50179D6AC\n";

#ifdef _WIN32

std::unique_ptr<SfdiskImage> SfdiskImage::make(const std::string&, std::uint64_t) { return nullptr; }
SfdiskImage::~SfdiskImage() = default;
std::vector<SfdiskPartition> SfdiskImage::partitions() const { return {}; }
SimulatedDisk& SfdiskImage::addTo(SimulatedMachine& machine, unsigned index) const {
  return machine.addDisk(index, size_);
}

#else

namespace {

// sfdisk lives in /usr/sbin or /sbin, which a plain user's PATH may lack.
const char kSfdisk[] = "PATH=\"$PATH:/usr/sbin:/sbin\" sfdisk ";

}  // namespace

std::unique_ptr<SfdiskImage> SfdiskImage::make(const std::string& script, std::uint64_t sizeBytes) {
  const char* tmp = getenv("TMPDIR");
  std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/quenbolt-sfdisk-XXXXXX";
  const int fd = mkstemp(&path[0]);
  if (fd < 0) return nullptr;
  std::unique_ptr<SfdiskImage> image(new SfdiskImage(path, sizeBytes));
  const bool sized = ftruncate(fd, static_cast<off_t>(sizeBytes)) == 0;
  close(fd);
  if (!sized) return nullptr;

  FILE* in = popen((kSfdisk + std::string("-q --no-reread --no-tell-kernel '") + path +
                    "' >/dev/null 2>&1").c_str(), "w");
  if (in == nullptr) return nullptr;
  fputs(script.c_str(), in);
  if (pclose(in) != 0) return nullptr;
  return image;
}

SfdiskImage::~SfdiskImage() { unlink(path_.c_str()); }

std::vector<SfdiskPartition> SfdiskImage::partitions() const {
  std::string json;
  if (FILE* out = popen((kSfdisk + std::string("-J '") + path_ + "' 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, out)) > 0) json.append(buffer, got);
    pclose(out);
  }
  // Each partition is one flat object in the "partitions" array.
  std::vector<SfdiskPartition> partitions;
  const std::regex object("\\{[^{}]*\"node\"[^{}]*\\}");
  const std::regex start("\"start\": *([0-9]+)"), size("\"size\": *([0-9]+)"),
      type("\"type\": *\"([^\"]*)\""), attrs("\"attrs\": *\"([^\"]*)\"");
  for (std::sregex_iterator it(json.begin(), json.end(), object), end; it != end; ++it) {
    const std::string text = it->str();
    std::smatch m;
    SfdiskPartition p;
    if (std::regex_search(text, m, start)) p.start = std::stoull(m[1]);
    if (std::regex_search(text, m, size)) p.size = std::stoull(m[1]);
    if (std::regex_search(text, m, type)) p.type = m[1];
    if (std::regex_search(text, m, attrs)) p.hidden = m[1].str().find("GUID:62") != std::string::npos;
    partitions.push_back(p);
  }
  return partitions;
}

SimulatedDisk& SfdiskImage::addTo(SimulatedMachine& machine, unsigned index) const {
  SimulatedDisk& disk = machine.addDisk(index, size_);
  const int fd = open(path_.c_str(), O_RDONLY);
  if (fd < 0) return disk;
  // Only the stretches the file really holds: the rest of a sparse image reads as zeros anyway.
  off_t data = lseek(fd, 0, SEEK_DATA);
  while (data >= 0) {
    const off_t hole = lseek(fd, data, SEEK_HOLE);
    if (hole < 0) break;
    for (off_t at = data / 512 * 512; at < hole; at += 512) {
      Sector sector{};
      if (pread(fd, sector.data(), sector.size(), at) != 512) break;
      if (sector != Sector{}) disk.setSector(static_cast<std::uint64_t>(at), sector);
    }
    data = lseek(fd, hole, SEEK_DATA);
  }
  close(fd);
  return disk;
}

#endif

}  // namespace quenbolt
