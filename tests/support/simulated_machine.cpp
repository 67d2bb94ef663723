#include "support/simulated_machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace quenbolt {

namespace {

constexpr std::uint32_t kErrorSectorNotFound = 27;  // a transfer beyond a disk's last sector

bool isLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// a to z upper-cased; both bytes of a double-byte character stay as they are.
std::string upper(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isLead(static_cast<unsigned char>(text[i]))) ++i;
    else if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
  }
  return text;
}

// The letter of "X:" or "X:\" (only "X:\" when `backslash`); 0 for anything else.
char letterOf(const std::string& path, bool backslash) {
  const std::string p = upper(path);
  if (p.size() < 2 || p[0] < 'A' || p[0] > 'Z' || p[1] != ':') return 0;
  if (p.size() == 3 && p[2] == '\\') return p[0];
  return p.size() == 2 && !backslash ? p[0] : 0;
}

std::string hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

unsigned le16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

// Whether MultiByteToWideChar(936, MB_ERR_INVALID_CHARS) takes the bytes.
bool isGbkText(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xFF) return false;
    if (!isLead(c)) continue;
    const unsigned char trail = ++i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  }
  return true;
}

// The label the FAT driver stores and reports, or nothing when it refuses it.
std::optional<std::string> fatLabel(const std::string& gbk) {
  const std::string label = upper(gbk);
  for (std::size_t i = 0; i < label.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(label[i]);
    if (isLead(c)) ++i;
    else if (c < 0x20 || std::strchr("\"*+,./:;<=>?[\\]|", c)) return std::nullopt;
  }
  if (label.size() > 11) return std::nullopt;
  return label.substr(0, label.find_last_not_of(' ') + 1);
}

}  // namespace

// ---- Disks ----------------------------------------------------------------------------------

void SimulatedDisk::put(std::uint64_t offset, const std::string& bytes) {
  if (offset > size || bytes.size() > size - offset) throw std::out_of_range("outside the disk");
  for (std::size_t done = 0, chunk; done < bytes.size(); done += chunk) {
    const std::uint64_t index = (offset + done) / kSectorSize, within = (offset + done) % kSectorSize;
    chunk = std::min<std::size_t>(kSectorSize - within, bytes.size() - done);
    Sector& s = sectors[index];  // a new sector starts as zeros
    std::copy_n(bytes.begin() + done, chunk, s.begin() + within);
    if (s == Sector{}) sectors.erase(index);
  }
}

void SimulatedDisk::put(std::uint64_t offset, const Sector& sector) {
  put(offset, std::string(sector.begin(), sector.end()));
}

std::string SimulatedDisk::bytes(std::uint64_t offset, std::size_t count) const {
  std::string out(count, '\0');
  for (std::size_t done = 0, chunk; done < count && offset + done < size; done += chunk) {
    const std::uint64_t index = (offset + done) / kSectorSize, within = (offset + done) % kSectorSize;
    chunk = std::min<std::size_t>(kSectorSize - within, count - done);
    const auto found = sectors.find(index);
    if (found != sectors.end()) std::copy_n(found->second.begin() + within, chunk, out.begin() + done);
  }
  return out;
}

Sector SimulatedDisk::sector(std::uint64_t offset) const {
  const std::string b = bytes(offset, kSectorSize);
  Sector s{};
  std::copy(b.begin(), b.end(), s.begin());
  return s;
}

// The planted fault that decides this access. Every matching fault counts it, so that "the k-th
// read at X" keeps meaning that.
static std::optional<Fault> decide(SimulatedDisk& disk, FaultOn on, std::uint64_t at, DiskAccess access) {
  std::optional<Fault> outcome;
  for (Fault& f : disk.faults) {
    const bool open = f.on == FaultOn::Open || (f.on == FaultOn::OpenForWriting && access == DiskAccess::ReadWrite);
    if (on == FaultOn::Open ? !open : (f.on != on || (f.offset != kAnyOffset && f.offset != at))) continue;
    ++f.seen;
    if ((f.nth == 0 || f.seen == f.nth) && !outcome) outcome = f;
  }
  return outcome;
}

class SimulatedHandle : public DiskHandle {
 public:
  SimulatedHandle(SimulatedMachine& m, unsigned disk, DiskAccess access, char letter, std::uint64_t base)
      : m_(m), disk_(disk), access_(access), letter_(letter), base_(base),
        name_(letter ? std::string(1, letter) + ":" : std::to_string(disk)) {
    ++m_.openHandles;
  }
  ~SimulatedHandle() override {
    --m_.openHandles;
    m_.log.push_back("close " + name_);
  }
  std::optional<std::uint64_t> lengthBytes() override {
    const SimulatedDisk& d = m_.disks.at(disk_);
    return d.lengthKnown ? std::optional<std::uint64_t>(d.size) : std::nullopt;
  }

 protected:
  long readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) override {
    SimulatedDisk& d = m_.disks.at(disk_);
    const std::uint64_t at = onDisk(offset);
    const std::optional<Fault> f = decide(d, FaultOn::Read, at, access_);
    long got = -1;
    if (!f || f->bytes >= 0) {
      const std::size_t wanted = f ? std::min<std::size_t>(size, f->bytes) : size;
      const std::size_t inside = at >= d.size ? 0 : std::min<std::uint64_t>(wanted, d.size - at);
      const std::string b = d.bytes(at, inside);
      std::copy(b.begin(), b.end(), data);
      got = static_cast<long>(inside);
    }
    note("read", at, got);
    return got < 0 ? failedWith(f->error ? f->error : kErrorCrc) : got;
  }

  long writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    SimulatedDisk& d = m_.disks.at(disk_);
    const std::uint64_t at = onDisk(offset);
    const std::optional<Fault> f = decide(d, FaultOn::Write, at, access_);
    long done = static_cast<long>(size);
    std::uint32_t error = kErrorAccessDenied;
    if (access_ != DiskAccess::ReadWrite || !m_.writeAllowed(disk_, letter_, at, size)) {
      done = -1;
    } else if (at > d.size || size > d.size - at) {
      done = -1;  // a disk does not grow
      error = kErrorSectorNotFound;
    } else if (f) {
      done = f->bytes;
      if (f->error) error = f->error;
    }
    if (done > 0) d.put(at, std::string(data, data + done));
    note("write", at, done);
    return done < 0 ? failedWith(error) : done;
  }

 private:
  // An offset that would wrap around stays past the end of every disk.
  std::uint64_t onDisk(std::uint64_t offset) const {
    return offset > ~std::uint64_t{0} - base_ ? ~std::uint64_t{0} : base_ + offset;
  }
  void note(const char* op, std::uint64_t at, long result) {
    m_.log.push_back(std::string(op) + " " + name_ + " " + hex(at) + " " +
                     (result < 0 ? std::string("failed") : std::to_string(result)));
  }

  SimulatedMachine& m_;
  unsigned disk_;
  DiskAccess access_;
  char letter_;
  std::uint64_t base_;
  std::string name_;
};

// ---- The machine ----------------------------------------------------------------------------

SimulatedDisk& SimulatedMachine::addDisk(unsigned index, std::uint64_t size) {
  const auto* count = std::get_if<std::uint32_t>(&enumValues["COUNT"]);
  if (!count || *count <= index) setDiskCount(index + 1);
  disks[index] = SimulatedDisk{};
  disks[index].size = size;
  return disks[index];
}

SimulatedVolume* SimulatedMachine::volume(char letter) {
  letter = static_cast<char>(upper(std::string(1, letter))[0]);
  const auto mounted = letters.find(letter);
  if (mounted != letters.end()) return &mounted->second;
  for (const auto& [name, target] : defined) {
    for (auto& [device, volume] : partitionDevices) {
      const std::string path = "\\DEVICE\\HARDDISK" + std::to_string(device.first) + "\\PARTITION" +
                               std::to_string(device.second);
      if (name == letter && upper(target) == path) return &volume;
    }
  }
  return nullptr;
}

std::map<unsigned, DiskBytes> SimulatedMachine::contents() const {
  std::map<unsigned, DiskBytes> all;
  for (const auto& [index, disk] : disks) all[index] = disk.sectors;
  return all;
}

std::vector<std::string> SimulatedMachine::logged(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
  }
  return lines;
}

std::unique_ptr<DiskHandle> SimulatedMachine::openDisk(unsigned index, DiskAccess access) {
  const auto found = disks.find(index);
  const std::optional<Fault> f =
      found == disks.end() ? std::nullopt : decide(found->second, FaultOn::Open, 0, access);
  const bool ok = found != disks.end() && !f;
  log.push_back("open " + std::to_string(index) + (access == DiskAccess::Read ? " read" : " readwrite") +
                (ok ? " ok" : " failed"));
  if (found == disks.end()) return openFailed(kErrorFileNotFound);
  if (f) return openFailed(f->error ? f->error : kErrorAccessDenied);
  return std::make_unique<SimulatedHandle>(*this, index, access, 0, 0);
}

std::unique_ptr<DiskHandle> SimulatedMachine::openVolume(char letter, DiskAccess access) {
  letter = letterOf(std::string(1, letter) + ":", false);
  const SimulatedVolume* v = letter ? volume(letter) : nullptr;
  const bool ok = v && !v->noExtent && disks.count(v->disk) &&
                  !decide(disks[v->disk], FaultOn::Open, 0, access);
  log.push_back("open " + std::string(1, letter) + ":" +
                (access == DiskAccess::Read ? " read" : " readwrite") + (ok ? " ok" : " failed"));
  if (!ok) return nullptr;
  return std::make_unique<SimulatedHandle>(*this, v->disk, access, letter, v->start);
}

bool SimulatedMachine::updateDiskProperties(unsigned index) {
  const bool ok = disks.count(index) && !rereadFails;
  log.push_back("reread " + std::to_string(index) + (ok ? " ok" : " failed"));
  return ok;
}

bool SimulatedMachine::writeAllowed(unsigned disk, char letter, std::uint64_t at, std::size_t size) {
  if (letter) {
    const SimulatedVolume* v = volume(letter);
    if (!v) return false;  // the letter has gone: the handle leads nowhere now
    const Sector boot = disks.at(v->disk).sector(v->start);
    const std::string bpb(boot.begin(), boot.end());
    std::uint64_t reserved = kSectorSize;
    if (upper(v->fileSystem).rfind("FAT", 0) == 0 && le16(bpb, 0x0B) == kSectorSize && le16(bpb, 0x0E) > 0) {
      reserved = std::uint64_t{le16(bpb, 0x0E)} * kSectorSize;
    }
    return at >= v->start && at - v->start < reserved && size <= reserved - (at - v->start);
  }
  for (char l = 'A'; l <= 'Z'; ++l) {
    const SimulatedVolume* v = volume(l);
    if (v && v->disk == disk && at < v->start + v->length && v->start < at + size) return false;
  }
  return true;
}

// ---- Registry -------------------------------------------------------------------------------

const RegistryValue* SimulatedMachine::enumValue(const std::string& key, const std::string& name) const {
  if (upper(key) != "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\DISK\\ENUM") return nullptr;
  const auto found = enumValues.find(upper(name));
  return found == enumValues.end() ? nullptr : &found->second;
}

std::optional<std::uint32_t> SimulatedMachine::readDword(const std::string& key, const std::string& name) {
  const RegistryValue* v = enumValue(key, name);
  if (!v || !std::holds_alternative<std::uint32_t>(*v)) return std::nullopt;
  return std::get<std::uint32_t>(*v);
}

std::optional<std::string> SimulatedMachine::readString(const std::string& key, const std::string& name) {
  const RegistryValue* v = enumValue(key, name);
  if (!v || !std::holds_alternative<std::string>(*v)) return std::nullopt;
  const std::string& gbk = std::get<std::string>(*v);
  std::string text;
  for (std::size_t i = 0; i < gbk.size() && gbk[i] != '\0'; ++i) {
    // Code page 1252 holds no Chinese character: each becomes the default '?'.
    const bool chinese = ansiCodePage != 936 && isLead(static_cast<unsigned char>(gbk[i]));
    text += chinese ? '?' : gbk[i];
    i += chinese;
  }
  return text;
}

// ---- Volumes and names ----------------------------------------------------------------------

unsigned SimulatedMachine::driveType(const std::string& rootPath) {
  const char letter = letterOf(rootPath, false);
  const SimulatedVolume* v = letter ? volume(letter) : nullptr;
  return v ? v->driveType : kDriveNoRootDir;
}

VolumeExtent SimulatedMachine::queryVolumeExtent(char letter) {
  const SimulatedVolume* v = volume(letter);
  if (!v || v->noExtent) return {};
  return {v->disk, v->start, v->length};
}

std::optional<VolumeInformation> SimulatedMachine::volumeInformation(const std::string& rootPath) {
  const char letter = letterOf(rootPath, true);
  const SimulatedVolume* v = letter ? volume(letter) : nullptr;
  if (!v || v->noInformation) return std::nullopt;
  return VolumeInformation{v->label, v->fileSystem};
}

std::optional<std::uint64_t> SimulatedMachine::diskFreeSpaceEx(const std::string& path) {
  // Calling it where kernel32 does not export it would crash the real program.
  if (!hasFreeSpaceEx) throw std::logic_error("GetDiskFreeSpaceExA does not exist here");
  const char letter = letterOf(path, false);
  const SimulatedVolume* v = letter ? volume(letter) : nullptr;
  if (!v || v->noFreeSpace) return std::nullopt;
  return v->freeBytes;
}

std::optional<ClusterFreeSpace> SimulatedMachine::diskFreeSpace(const std::string& path) {
  const char letter = letterOf(path, false);
  const SimulatedVolume* v = letter ? volume(letter) : nullptr;
  if (!v || v->noFreeSpace) return std::nullopt;
  const auto clusters = static_cast<std::uint32_t>(std::min<std::uint64_t>(v->freeBytes / 4096, 0xFFFFFFFF));
  return v->clusters.value_or(ClusterFreeSpace{8, 512, clusters, clusters});
}

bool SimulatedMachine::setVolumeLabel(const std::string& rootPath, const std::string& label) {
  const char letter = letterOf(rootPath, true);
  SimulatedVolume* v = letter ? volume(letter) : nullptr;
  bool ok = v && !v->refusesLabel && isGbkText(label);
  std::string stored = label;
  if (ok && upper(v->fileSystem).rfind("FAT", 0) == 0) {
    const std::optional<std::string> fat = fatLabel(label);
    ok = fat && (upper(v->fileSystem) != "FAT32" || writeRootLabel(v->disk, v->start, *fat));
    stored = fat.value_or(label);
  }
  if (ok) v->label = stored;
  log.push_back("label " + rootPath + " " + label + (ok ? " ok" : " refused"));
  return ok;
}

// The FAT32 driver keeps the label in an entry of the root directory (attribute 0x08): the one
// there, or else the first free entry of the root's first cluster (a full root directory the
// driver would grow; not worth simulating). An empty label deletes the entry.
bool SimulatedMachine::writeRootLabel(unsigned index, std::uint64_t start, const std::string& label) {
  SimulatedDisk& disk = disks.at(index);
  const std::string b = disk.bytes(start, kSectorSize);
  const unsigned fats = static_cast<unsigned char>(b[0x10]), perCluster = static_cast<unsigned char>(b[0x0D]);
  const std::uint64_t fatSectors = le16(b, 0x24) | std::uint64_t{le16(b, 0x26)} << 16;
  const std::uint64_t root = le16(b, 0x2C) | std::uint64_t{le16(b, 0x2E)} << 16;
  if (upper(b.substr(0x52, 5)) != "FAT32" || le16(b, 0x0B) != kSectorSize || !perCluster || root < 2) {
    return true;  // not a volume whose directory we can find: the label lives elsewhere
  }
  const std::uint64_t dir = start + (le16(b, 0x0E) + fats * fatSectors + (root - 2) * perCluster) * kSectorSize;
  std::optional<std::uint64_t> entry, free;
  for (std::uint64_t at = dir; at < dir + perCluster * kSectorSize && !entry && at + 32 <= disk.size; at += 32) {
    const std::string e = disk.bytes(at, 32);
    if ((e[0] == 0 || e[0] == '\xE5') && !free) free = at;
    if (e[0] == 0) break;  // nothing in use follows an entry never used
    if (e[0] != '\xE5' && e[11] != 0x0F && (e[11] & 0x08)) entry = at;
  }
  if (label.empty() && !entry) return true;
  if (!entry && !free) return false;
  std::string e = label.empty() ? "\xE5" : (label + std::string(11, ' ')).substr(0, 11) + '\x08';
  if (e[0] == '\xE5' && !label.empty()) e[0] = 0x05;  // how a name starting with 0xE5 is stored
  disk.put(entry.value_or(*free), e);
  log.push_back("fat " + std::to_string(index) + " " + hex(entry.value_or(*free)) + " " + std::to_string(e.size()));
  return true;
}

std::uint32_t SimulatedMachine::logicalDrives() {
  std::uint32_t mask = 0;
  for (const auto& entry : letters) mask |= 1u << (entry.first - 'A');
  for (const auto& entry : defined) mask |= 1u << (entry.first - 'A');
  return mask;
}

bool SimulatedMachine::defineRawTarget(const std::string& name, const std::string& target) {
  const char letter = name.size() == 2 ? letterOf(name, false) : 0;
  const bool ok = letter && !(logicalDrives() & (1u << (letter - 'A'))) && !target.empty();
  if (ok) defined.emplace_back(letter, target);
  log.push_back("define " + name + " " + target + (ok ? " ok" : " failed"));
  return ok;
}

bool SimulatedMachine::removeDefinition(const std::string& name) {
  const char letter = name.size() == 2 ? letterOf(name, false) : 0;
  const auto found = std::find_if(defined.begin(), defined.end(), [&](const auto& d) { return d.first == letter; });
  const bool ok = letter && found != defined.end();
  if (ok) defined.erase(found);
  log.push_back("remove " + name + (ok ? " ok" : " failed"));
  return ok;
}

std::uint32_t SimulatedMachine::getVersion() {
  if (rawVersion || !version) return rawVersion.value_or(0);
  // The 95/98/Millennium family sets the top bit; the NT family keeps the build there.
  return (version->major & 0xFF) | (version->minor & 0xFF) << 8 |
         (version->platformId == 1 ? 0x80000000u : (version->build & 0x7FFF) << 16);
}

void SimulatedMachine::messageBox(const std::string& text, const std::string& caption, unsigned style) {
  log.push_back("box " + caption + "|" + text + "|" + hex(style));
  if (whileBoxOpen) whileBoxOpen();
}

std::optional<LoggedAccess> parseAccess(const std::string& line) {
  std::istringstream in(line);
  LoggedAccess a;
  std::string result;
  if (!(in >> a.op >> a.device) || (a.op != "read" && a.op != "write")) return std::nullopt;
  in >> std::hex >> a.offset >> result;
  a.bytes = result == "failed" ? -1 : std::stol(result);
  return a;
}

}  // namespace quenbolt
