#include "support/simulated_machine.h"
#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace quenbolt {
namespace {
// The letter of "X:" or "X:\" (only "X:\" when `backslash`); 0 for anything else.
char letterOf(const std::string& path, bool backslash) {
  const std::string p = upperAscii(path);
  if (p.size() < 2 || p[0] < 'A' || p[0] > 'Z' || p[1] != ':') return 0;
  return (p.size() == 3 && p[2] == '\\') || (p.size() == 2 && !backslash) ? p[0] : 0;
}

unsigned le16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
bool isFat(const std::string& fileSystem) { return upperAscii(fileSystem).rfind("FAT", 0) == 0; }

// The planted fault that decides this access. Every matching fault counts it, so that "the k-th
// read at X" keeps meaning that.
std::optional<Fault> decide(SimulatedDisk& disk, FaultOn on, std::uint64_t at, DiskAccess access) {
  std::optional<Fault> outcome;
  for (Fault& f : disk.faults) {
    const bool open = f.on == FaultOn::Open ||
                      (f.on == FaultOn::OpenForWriting && access == DiskAccess::ReadWrite);
    if (on == FaultOn::Open ? !open : f.on != on || (f.offset != kAnyOffset && f.offset != at))
      continue;
    if ((++f.seen == f.nth || f.nth == 0) && !outcome) outcome = f;
  }
  return outcome;
}
}  // namespace

void SimulatedDisk::put(std::uint64_t offset, const std::string& bytes) {
  if (offset > size || bytes.size() > size - offset) throw std::out_of_range("outside the disk");
  for (std::size_t done = 0, chunk; done < bytes.size(); done += chunk) {
    const std::uint64_t index = (offset + done) / 512;
    const std::uint64_t within = (offset + done) % 512;
    chunk = std::min<std::size_t>(512 - within, bytes.size() - done);
    Chunk& s = sectors[index];  // a new chunk starts as zeros
    std::copy_n(bytes.begin() + done, chunk, s.begin() + within);
    if (s == Chunk{}) sectors.erase(index);
  }
}

std::string SimulatedDisk::bytes(std::uint64_t offset, std::size_t count) const {
  std::string out(count, '\0');
  for (std::size_t done = 0, chunk; done < count && offset + done < size; done += chunk) {
    const std::uint64_t index = (offset + done) / 512;
    const std::uint64_t within = (offset + done) % 512;
    chunk = std::min<std::size_t>(512 - within, count - done);
    const auto found = sectors.find(index);
    if (found != sectors.end())
      std::copy_n(found->second.begin() + within, chunk, out.begin() + done);
  }
  return out;
}

class SimulatedHandle : public DiskHandle {
 public:
  SimulatedHandle(SimulatedMachine& m, unsigned disk, DiskAccess access, char letter,
                  std::uint64_t base)
      : m_(m), d_(m.disks.at(disk)), disk_(disk), access_(access), letter_(letter), base_(base) {
    ++m_.openHandles;
    setSectorSize(d_.sectorSize);
  }
  ~SimulatedHandle() override {
    --m_.openHandles;
    m_.log.push_back("close " + name());
    if (m_.whenClosed) m_.whenClosed();
  }
  std::optional<std::uint64_t> lengthBytes() override {
    return d_.lengthKnown ? std::optional<std::uint64_t>(d_.size) : std::nullopt;
  }

 protected:
  long readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) override {
    const std::uint64_t at = onDisk(offset);
    const bool aligned = at % d_.sectorSize == 0 && size % d_.sectorSize == 0;
    const std::optional<Fault> f = aligned ? decide(d_, FaultOn::Read, at, access_) : std::nullopt;
    std::uint32_t error = aligned ? 0 : std::uint32_t{kErrorInvalidParameter};
    if (f && f->bytes < 0) error = f->error ? f->error : 23;  // 23: a data error (CRC)
    const std::size_t wanted = f ? std::min<std::size_t>(size, f->bytes) : size;
    const std::string b =
        d_.bytes(at, at >= d_.size ? 0 : std::min<std::uint64_t>(wanted, d_.size - at));
    const long got = error ? -1 : static_cast<long>(std::copy(b.begin(), b.end(), data) - data);
    note("read", at, got);
    return got < 0 ? failedWith(error) : got;
  }

  long writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    const std::uint64_t at = onDisk(offset);
    const std::optional<Fault> f = decide(d_, FaultOn::Write, at, access_);
    std::uint32_t error = 0;
    if (at % d_.sectorSize || size % d_.sectorSize)
      error = kErrorInvalidParameter;
    else if (access_ != DiskAccess::ReadWrite || !m_.writeAllowed(disk_, letter_, at, size))
      error = kErrorAccessDenied;
    else if (at > d_.size || size > d_.size - at)
      error = 27;  // a disk does not grow: sector not found
    else if (f && f->bytes < 0)
      error = f->error ? f->error : kErrorAccessDenied;
    const long done = error ? -1 : f ? f->bytes : static_cast<long>(size);
    if (done > 0 && !decide(d_, FaultOn::LostWrite, at, access_))
      d_.put(at, std::string(data, data + done));
    note("write", at, done);
    return done < 0 ? failedWith(error) : done;
  }

 private:
  std::uint64_t onDisk(std::uint64_t offset) const {  // past every disk, not around, on overflow
    return offset > ~base_ ? ~std::uint64_t{0} : base_ + offset;
  }
  std::string name() const {
    return letter_ ? std::string(1, letter_) + ":" : std::to_string(disk_);
  }
  void note(const char* op, std::uint64_t at, long result) {
    m_.log.push_back(std::string(op) + " " + name() + " " + hexText(at) + " " +
                     (result < 0 ? "failed" : std::to_string(result)));
  }

  SimulatedMachine& m_;
  SimulatedDisk& d_;
  unsigned disk_;
  DiskAccess access_;
  char letter_;  // 0: a disk handle
  std::uint64_t base_;
};

SimulatedDisk& SimulatedMachine::addDisk(unsigned index, std::uint64_t size,
                                         std::size_t sectorSize) {
  const auto* count = std::get_if<std::uint32_t>(&enumValues["COUNT"]);
  if (!count || *count <= index) setDiskCount(index + 1);
  return disks[index] = SimulatedDisk{size, true, {}, {}, sectorSize};
}

SimulatedVolume* SimulatedMachine::volume(char letter) {
  letter = letterOf(std::string(1, letter) + ":", false);
  if (letters.count(letter)) return &letters[letter];
  for (auto& [device, v] : partitionDevices) {
    const std::string path = "\\DEVICE\\HARDDISK" + std::to_string(device.first) + "\\PARTITION" +
                             std::to_string(device.second);
    for (const auto& [name, target] : defined)
      if (name == letter && upperAscii(target) == path) return &v;
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
  for (const std::string& line : log)
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
  return lines;
}

std::unique_ptr<DiskHandle> SimulatedMachine::openDisk(unsigned index, DiskAccess access) {
  const std::optional<Fault> f =
      disks.count(index) ? decide(disks[index], FaultOn::Open, 0, access) : std::nullopt;
  const bool ok = disks.count(index) && !f;
  log.push_back("open " + std::to_string(index) +
                (access == DiskAccess::Read ? " read" : " readwrite") + (ok ? " ok" : " failed"));
  if (ok) return std::make_unique<SimulatedHandle>(*this, index, access, 0, 0);
  return openFailed(!f ? kErrorFileNotFound : f->error ? f->error : kErrorAccessDenied);
}

std::unique_ptr<DiskHandle> SimulatedMachine::openVolume(char letter, DiskAccess access) {
  letter = letterOf(std::string(1, letter) + ":", false);
  const SimulatedVolume* v = volume(letter);
  const bool ok = v && !v->noExtent && disks.count(v->disk) &&
                  !decide(disks[v->disk], FaultOn::Open, 0, access);
  log.push_back("open " + std::string(1, letter) + ":" +
                (access == DiskAccess::Read ? " read" : " readwrite") + (ok ? " ok" : " failed"));
  return ok ? std::make_unique<SimulatedHandle>(*this, v->disk, access, letter, v->start) : nullptr;
}

bool SimulatedMachine::updateDiskProperties(unsigned index) {
  const bool ok = disks.count(index) && !rereadFails;
  log.push_back("reread " + std::to_string(index) + (ok ? " ok" : " failed"));
  return ok;
}

bool SimulatedMachine::writeAllowed(unsigned disk, char letter, std::uint64_t at,
                                    std::size_t size) {
  if (letter) {  // a volume handle: its reserved area only; a letter gone leads nowhere
    const SimulatedVolume* v = volume(letter);
    const std::string bpb = v ? disks.at(v->disk).bytes(v->start, 16) : "";
    const std::size_t sector = v ? disks.at(v->disk).sectorSize : 512;
    const bool fat = v && isFat(v->fileSystem) && le16(bpb, 0x0B) == sector && le16(bpb, 0x0E);
    const std::uint64_t reserved = fat ? le16(bpb, 0x0E) * sector : sector;  // BPB_RsvdSecCnt
    return v && at >= v->start && at - v->start < reserved && size <= reserved - (at - v->start);
  }
  for (char l = 'A'; l <= 'Z'; ++l) {  // a disk handle: outside every volume with a file system
    const SimulatedVolume* v = volume(l);
    if (v && upperAscii(v->fileSystem) != "RAW" && v->disk == disk && at < v->start + v->length &&
        v->start < at + size)
      return false;
  }
  return true;
}

std::optional<std::uint32_t> SimulatedMachine::readDword(const std::string& key,
                                                         const std::string& name) {
  const auto* value = std::get_if<std::uint32_t>(enumValue(key, name));
  return value ? std::optional<std::uint32_t>(*value) : std::nullopt;
}

std::optional<std::string> SimulatedMachine::readString(const std::string& key,
                                                        const std::string& name) {
  const auto* value =
      std::get_if<std::string>(enumValue(key, name));  // a REG_SZ ends at its first NUL
  return value ? std::optional<std::string>(value->substr(0, value->find('\0'))) : std::nullopt;
}

const SimulatedMachine::Value* SimulatedMachine::enumValue(const std::string& key,
                                                           const std::string& name) const {
  const auto found = enumValues.find(upperAscii(name));
  const bool diskEnum = upperAscii(key) == "SYSTEM\\CURRENTCONTROLSET\\SERVICES\\DISK\\ENUM";
  return diskEnum && found != enumValues.end() ? &found->second : nullptr;
}

SimulatedVolume* SimulatedMachine::at(const std::string& path, bool backslash) {
  return volume(letterOf(path, backslash));  // no volume has letter 0
}

std::optional<std::string> SimulatedMachine::fatDriverLabel(const std::string& label) const {
  // Lower-case GBK runs (lead byte, first and last trail byte) and how far above them their
  // capitals lie: ａ-ｚ, α-ω, а-я.
  const unsigned runs[][4] = {
      {0xA3, 0xE1, 0xFA, 0x20}, {0xA6, 0xC1, 0xD8, 0x20}, {0xA7, 0xD1, 0xF1, 0x30}};
  std::string stored;
  for (std::size_t i = 0; i < label.size(); ++i) {
    const auto byte = static_cast<unsigned char>(label[i]);
    if (byte >= 0x81 && byte <= 0xFE && i + 1 < label.size()) {
      if (oemCp != 936) return std::nullopt;  // no other OEM code page here holds more than ASCII
      auto trail = static_cast<unsigned char>(label[++i]);
      for (const auto& run : runs)
        if (byte == run[0] && trail >= run[1] && trail <= run[2]) trail -= run[3];
      stored += static_cast<char>(byte);
      stored += static_cast<char>(trail);
    } else if (byte < 0x20 || byte >= 0x80 || std::strchr("\"*+,./:;<=>?[\\]|", byte)) {
      return std::nullopt;
    } else {
      stored += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
    }
  }
  stored.erase(stored.find_last_not_of(' ') + 1);
  if (stored.size() > 11 || (!stored.empty() && stored[0] == ' ')) return std::nullopt;
  return stored;
}

SetLabelOutcome SimulatedMachine::setVolumeLabel(const std::string& rootPath,
                                                 const std::string& label) {
  SimulatedVolume* v = at(rootPath, true);
  SetLabelOutcome outcome = v && !v->refusesLabel ? SetLabelOutcome::Set : SetLabelOutcome::Refused;
  std::optional<std::string> stored = label;
  if (outcome == SetLabelOutcome::Set && upperAscii(v->fileSystem) == "RAW") {
    outcome = SetLabelOutcome::NoFileSystem;
  } else if (outcome == SetLabelOutcome::Set && isFat(v->fileSystem)) {
    stored = fatDriverLabel(label);
    const bool fat32 = upperAscii(v->fileSystem) == "FAT32";
    if (!stored || (fat32 && !writeRootLabel(v->disk, v->start, *stored)))
      outcome = SetLabelOutcome::Refused;
  }
  if (outcome == SetLabelOutcome::Set) v->label = *stored;
  const char* said[] = {" ok", " refused", " unrecognised"};
  log.push_back("label " + rootPath + " " + label + said[static_cast<int>(outcome)]);
  return outcome;
}

OemLabel SimulatedMachine::oemLabel(const std::string& rootPath) {
  const SimulatedVolume* v = at(rootPath, true);
  if (!v || v->noInformation) return OemLabel{OemLabel::Unreadable, ""};
  for (unsigned char c : v->label) {
    if (c >= 0x80 && oemCp != 936) return OemLabel{OemLabel::NotInOemCodePage, ""};
  }
  return OemLabel{OemLabel::Read, v->label};
}

// The FAT32 driver keeps the label in the root directory: in its label entry, or a new one in the
// first free entry of the root's first cluster; no label, no entry. Windows dates a new entry; here
// the date stays zero.
bool SimulatedMachine::writeRootLabel(unsigned index, std::uint64_t start,
                                      const std::string& label) {
  SimulatedDisk& d = disks.at(index);
  const std::string b = d.bytes(start, 512);
  const std::size_t sector = d.sectorSize;
  const std::uint64_t root = le16(b, 0x2C) | le16(b, 0x2E) << 16,
                      fat = le16(b, 0x24) | std::uint64_t{le16(b, 0x26)} << 16;
  if (upperAscii(b.substr(0x52, 5)) != "FAT32" || le16(b, 0x0B) != sector || !b[0x0D] || root < 2)
    return true;
  const unsigned fats = static_cast<unsigned char>(b[0x10]),
                 clusterSectors = static_cast<unsigned char>(b[0x0D]);
  const std::uint64_t first =
      start + (le16(b, 0x0E) + fats * fat + (root - 2) * clusterSectors) * sector;
  const std::uint64_t end = first + clusterSectors * sector;
  if (end > d.size) return false;
  std::optional<std::uint64_t> entry, free;
  for (std::uint64_t at = first; at < end && !entry; at += 32) {
    const std::string e = d.bytes(at, 32);
    const auto name = static_cast<unsigned char>(e[0]),
               attributes = static_cast<unsigned char>(e[11]);
    if ((name == 0 || name == 0xE5) && !free) free = at;
    if (name == 0) break;
    if (name != 0xE5 && attributes != 0x0F && (attributes & 0x08)) entry = at;
  }
  if (label.empty()) {
    if (entry) d.put(*entry, "\xE5");
    return true;
  }
  if (!entry && !free) return false;
  std::string name = (label + std::string(11, ' ')).substr(0, 11);
  if (static_cast<unsigned char>(name[0]) == 0xE5) name[0] = 0x05;
  d.put(entry ? *entry : *free, name + "\x08");
  log.push_back("fat " + std::to_string(index) + " " + hexText(entry ? *entry : *free) + " 12");
  return true;
}

std::uint32_t SimulatedMachine::logicalDrives() {
  log.push_back("drives");  // a slow question under Wine: tests count it
  return lettersInUse();
}

std::uint32_t SimulatedMachine::lettersInUse() const {
  std::uint32_t mask = 0;
  for (const auto& entry : letters) mask |= 1u << (entry.first - 'A');
  for (const auto& entry : defined) mask |= 1u << (entry.first - 'A');
  return mask;
}

bool SimulatedMachine::defineRawTarget(const std::string& name, const std::string& target) {
  const char letter = name.size() == 2 ? letterOf(name, false) : 0;
  const bool ok = letter && !(lettersInUse() & (1u << (letter - 'A'))) && !target.empty();
  if (ok) defined.emplace_back(letter, target);
  log.push_back("define " + name + " " + target + (ok ? " ok" : " failed"));
  return ok;
}

bool SimulatedMachine::removeDefinition(const std::string& name) {
  const auto found = std::find_if(defined.begin(), defined.end(), [&](const auto& d) {
    return name.size() == 2 && d.first == letterOf(name, false);
  });
  const bool ok = found != defined.end();
  if (ok) defined.erase(found);
  log.push_back("remove " + name + (ok ? " ok" : " failed"));
  return ok;
}

void SimulatedMachine::messageBox(const std::string& text, const std::string& caption,
                                  unsigned style) {
  log.push_back("box " + caption + "|" + text + "|" + hexText(style));
  if (whileBoxOpen) whileBoxOpen();
}

std::vector<std::pair<unsigned, std::uint64_t>> differingBytes(std::map<unsigned, DiskBytes> a,
                                                               std::map<unsigned, DiskBytes> b) {
  std::vector<std::pair<unsigned, std::uint64_t>> bytes;
  for (const auto& [disk, sectors] : b)
    for (const auto& s : sectors) a[disk].emplace(s.first, Chunk{});
  for (const auto& [disk, sectors] : a) {
    DiskBytes& other = b[disk];
    for (const auto& [index, sector] : sectors) {
      const Chunk& chunk = other[index];
      if (sector == chunk) continue;
      for (std::size_t i = 0; i < 512; ++i)
        if (sector[i] != chunk[i]) bytes.emplace_back(disk, index * 512 + i);
    }
  }
  return bytes;
}

std::optional<LoggedAccess> parseAccess(const std::string& line) {
  std::istringstream in(line);
  LoggedAccess a;
  std::string result;
  if (!(in >> a.op >> a.device >> std::hex >> a.offset >> result) ||
      (a.op != "read" && a.op != "write"))
    return std::nullopt;
  a.bytes = result == "failed" ? -1 : std::stol(result);
  return a;
}
}  // namespace quenbolt
