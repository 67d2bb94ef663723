#include "support/simulated_machine.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "model/gbk_text.h"

namespace quenbolt {

namespace {

const char* const kEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";

// ERROR_SECTOR_NOT_FOUND: a transfer beyond the last sector of a disk.
constexpr std::uint32_t kErrorSectorNotFound = 27;

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

char upperLetter(char letter) {
  return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The drive letter of "X:" (and, when `backslash` allows it, "X:\"); 0 for anything else.
enum class Backslash { Optional, Required };
char letterOfPath(const std::string& path, Backslash backslash) {
  if (path.size() < 2 || !isLetter(path[0]) || path[1] != ':') return 0;
  if (path.size() == 2) return backslash == Backslash::Optional ? upperLetter(path[0]) : 0;
  if (path.size() == 3 && path[2] == '\\') return upperLetter(path[0]);
  return 0;
}

std::uint32_t letterBit(char letter) { return std::uint32_t{1} << (letter - 'A'); }

std::string hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

const char* accessText(DiskAccess access) {
  return access == DiskAccess::Read ? "read" : "readwrite";
}

bool allZero(const Sector& sector) {
  return std::all_of(sector.begin(), sector.end(), [](std::uint8_t b) { return b == 0; });
}

bool overlaps(std::uint64_t offset, std::size_t size, std::uint64_t start, std::uint64_t length) {
  return offset < start + length && start < offset + size;
}

// Whether MultiByteToWideChar(936, MB_ERR_INVALID_CHARS) takes `text`: every lead byte is followed
// by a byte that can end a double-byte character; 0xFF is no character at all.
bool isGbkText(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0xFF) return false;
    if (!isGbkLeadByte(c)) continue;
    if (++i == text.size()) return false;
    const unsigned char trail = static_cast<unsigned char>(text[i]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  }
  return true;
}

}  // namespace

// ---- DiskSnapshot ---------------------------------------------------------------------------

std::vector<std::uint64_t> differingOffsets(const DiskSnapshot& before, const DiskSnapshot& after) {
  static const Sector kZeros{};
  std::vector<std::uint64_t> offsets;
  auto at = [](const DiskSnapshot& s, std::uint64_t index) -> const Sector& {
    auto found = s.sectors.find(index);
    return found == s.sectors.end() ? kZeros : found->second;
  };
  std::vector<std::uint64_t> indices;
  for (const auto& entry : before.sectors) indices.push_back(entry.first);
  for (const auto& entry : after.sectors) indices.push_back(entry.first);
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  for (std::uint64_t index : indices) {
    const Sector& a = at(before, index);
    const Sector& b = at(after, index);
    for (std::size_t i = 0; i < kSectorSize; ++i) {
      if (a[i] != b[i]) offsets.push_back(index * kSectorSize + i);
    }
  }
  return offsets;
}

void PrintTo(const DiskSnapshot& snapshot, std::ostream* out) {
  *out << "disk of " << snapshot.size << " bytes with " << snapshot.sectors.size()
       << " non-zero sectors";
}

// ---- SimulatedDisk --------------------------------------------------------------------------

std::size_t SimulatedDisk::copyOut(std::uint64_t offset, std::uint8_t* data, std::size_t count) const {
  if (offset >= size_) return 0;
  const std::size_t inside = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
  std::size_t done = 0;
  while (done < inside) {
    const std::uint64_t position = offset + done;
    const std::uint64_t index = position / kSectorSize;
    const std::size_t within = static_cast<std::size_t>(position % kSectorSize);
    const std::size_t chunk = std::min(kSectorSize - within, inside - done);
    auto found = sectors_.find(index);
    if (found == sectors_.end()) {
      std::fill(data + done, data + done + chunk, std::uint8_t{0});
    } else {
      std::copy(found->second.begin() + within, found->second.begin() + within + chunk, data + done);
    }
    done += chunk;
  }
  return inside;
}

void SimulatedDisk::copyIn(std::uint64_t offset, const std::uint8_t* data, std::size_t count) {
  if (offset > size_ || count > size_ - offset) {
    throw std::out_of_range("write outside simulated disk " + std::to_string(index_));
  }
  std::size_t done = 0;
  while (done < count) {
    const std::uint64_t position = offset + done;
    const std::uint64_t index = position / kSectorSize;
    const std::size_t within = static_cast<std::size_t>(position % kSectorSize);
    const std::size_t chunk = std::min(kSectorSize - within, count - done);
    Sector& stored = sectors_[index];  // a new sector starts as zeros
    std::copy(data + done, data + done + chunk, stored.begin() + within);
    // Zero sectors are not kept, so that snapshots compare by content alone.
    if (allZero(stored)) sectors_.erase(index);
    done += chunk;
  }
}

void SimulatedDisk::setSector(std::uint64_t offset, const Sector& sector) {
  copyIn(offset, sector.data(), sector.size());
}

Sector SimulatedDisk::sector(std::uint64_t offset) const {
  Sector result{};
  copyOut(offset, result.data(), result.size());
  return result;
}

void SimulatedDisk::setBytes(std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
  copyIn(offset, bytes.data(), bytes.size());
}

std::vector<std::uint8_t> SimulatedDisk::bytes(std::uint64_t offset, std::size_t count) const {
  std::vector<std::uint8_t> result(count, 0);
  copyOut(offset, result.data(), count);
  return result;
}

std::uint8_t SimulatedDisk::byte(std::uint64_t offset) const {
  std::uint8_t value = 0;
  copyOut(offset, &value, 1);
  return value;
}

DiskSnapshot SimulatedDisk::snapshot() const {
  DiskSnapshot snapshot;
  snapshot.size = size_;
  snapshot.sectors = sectors_;
  return snapshot;
}

void SimulatedDisk::failOpen(OpenFault which, unsigned nth, std::uint32_t error) {
  faults_.push_back({FaultOp::Open, kAnyOffset, which, nth, -1, error});
}

void SimulatedDisk::failRead(std::uint64_t offset, unsigned nth, std::uint32_t error) {
  faults_.push_back({FaultOp::Read, offset, OpenFault::AnyAccess, nth, -1, error});
}

void SimulatedDisk::shortRead(std::uint64_t offset, std::size_t bytes, unsigned nth) {
  if (bytes >= kSectorSize) throw std::invalid_argument("a short read transfers fewer than 512 bytes");
  faults_.push_back({FaultOp::Read, offset, OpenFault::AnyAccess, nth, static_cast<long>(bytes)});
}

void SimulatedDisk::failWrite(std::uint64_t offset, unsigned nth, std::uint32_t error) {
  faults_.push_back({FaultOp::Write, offset, OpenFault::AnyAccess, nth, -1, error});
}

void SimulatedDisk::shortWrite(std::uint64_t offset, std::size_t bytes, unsigned nth) {
  if (bytes >= kSectorSize) throw std::invalid_argument("a short write transfers fewer than 512 bytes");
  faults_.push_back({FaultOp::Write, offset, OpenFault::AnyAccess, nth, static_cast<long>(bytes)});
}

std::optional<SimulatedDisk::Fault> SimulatedDisk::faultFor(FaultOp op, std::uint64_t offset,
                                                            DiskAccess access) {
  std::optional<Fault> outcome;
  // Every matching fault counts the access, even when an earlier one already decided it, so
  // that "the k-th read at X" keeps meaning the k-th read at X.
  for (Fault& fault : faults_) {
    if (fault.op != op) continue;
    if (op == FaultOp::Open) {
      if (fault.openWhich == OpenFault::ReadWriteOnly && access != DiskAccess::ReadWrite) continue;
    } else if (fault.offset != kAnyOffset && fault.offset != offset) {
      continue;
    }
    ++fault.seen;
    if ((fault.nth == kEveryTime || fault.seen == fault.nth) && !outcome) outcome = fault;
  }
  return outcome;
}

// ---- Disk handles ---------------------------------------------------------------------------

class SimulatedDiskHandle : public DiskHandle {
 public:
  // A handle of disk `disk`, or with `volume` set, of that letter's volume, which starts at byte
  // `base` of the disk.
  SimulatedDiskHandle(SimulatedMachine& machine, unsigned disk, DiskAccess access, char volume = 0,
                      std::uint64_t base = 0)
      : machine_(machine), disk_(disk), access_(access), volume_(volume), base_(base) {
    ++machine_.openHandles_;
  }
  ~SimulatedDiskHandle() override {
    --machine_.openHandles_;
    machine_.logDisk(DiskOp::Close, disk_, 0, access_, true, 0, volume_, base_);
  }

  std::optional<std::uint64_t> lengthBytes() override {
    const SimulatedDisk& disk = machine_.disk(disk_);
    if (!disk.lengthKnown()) return std::nullopt;
    return disk.size();
  }

 protected:
  long readAt(std::uint64_t offset, std::uint8_t* data, std::size_t size) override {
    SimulatedDisk& disk = machine_.disk(disk_);
    const std::uint64_t at = onDisk(offset);
    std::size_t wanted = size;
    const auto fault = disk.faultFor(SimulatedDisk::FaultOp::Read, at, access_);
    if (fault) {
      wanted = fault->result < 0 ? 0 : std::min(size, static_cast<std::size_t>(fault->result));
    }
    // Past the end only the bytes inside the disk arrive, as with an image file under Wine.
    long result = static_cast<long>(disk.copyOut(at, data, wanted));
    if (fault && fault->result < 0) result = -1;
    machine_.logDisk(DiskOp::Read, disk_, at, access_, result == static_cast<long>(size), result, volume_, base_);
    return result < 0 ? failedWith(fault->error) : result;
  }

  long writeAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
    SimulatedDisk& disk = machine_.disk(disk_);
    const std::uint64_t at = onDisk(offset);
    long result = static_cast<long>(size);
    std::uint32_t error = 0;
    auto fault = disk.faultFor(SimulatedDisk::FaultOp::Write, at, access_);
    const bool allowed = volume_ ? machine_.volumeWriteAllowed(volume_, offset, size)
                                 : machine_.diskWriteAllowed(disk_, at, size);
    if (access_ != DiskAccess::ReadWrite || !allowed) {
      result = -1;  // access denied
      error = kErrorAccessDenied;
    } else if (at > disk.size() || size > disk.size() - at) {
      result = -1;  // a physical disk does not grow
      error = kErrorSectorNotFound;
    } else if (fault) {
      result = fault->result;
      error = fault->error;
    }
    if (result > 0) disk.copyIn(at, data, static_cast<std::size_t>(result));
    machine_.logDisk(DiskOp::Write, disk_, at, access_, result == static_cast<long>(size), result, volume_, base_);
    return result < 0 ? failedWith(error) : result;
  }

 private:
  // An offset so large that it wraps around stays past the end of every disk.
  std::uint64_t onDisk(std::uint64_t offset) const {
    return offset > ~std::uint64_t{0} - base_ ? ~std::uint64_t{0} : base_ + offset;
  }

  SimulatedMachine& machine_;
  unsigned disk_;
  DiskAccess access_;
  char volume_;
  std::uint64_t base_;
};

// ---- SimulatedMachine: setup ----------------------------------------------------------------

Platform SimulatedMachine::platform() {
  return Platform{*this, *this, *this, *this, *this, *this};
}

SimulatedDisk& SimulatedMachine::addDisk(unsigned index, std::uint64_t sizeBytes) {
  disks_.erase(index);
  return disks_.emplace(index, SimulatedDisk(index, sizeBytes)).first->second;
}

SimulatedDisk& SimulatedMachine::disk(unsigned index) {
  auto found = disks_.find(index);
  if (found == disks_.end()) throw std::out_of_range("no simulated disk " + std::to_string(index));
  return found->second;
}

const SimulatedDisk& SimulatedMachine::disk(unsigned index) const {
  auto found = disks_.find(index);
  if (found == disks_.end()) throw std::out_of_range("no simulated disk " + std::to_string(index));
  return found->second;
}

void SimulatedMachine::setDword(const std::string& key, const std::string& name, std::uint32_t value) {
  registry_[{upper(key), upper(name)}] = RegValue{RegType::Dword, value, {}};
}

void SimulatedMachine::setString(const std::string& key, const std::string& name, const std::string& value) {
  registry_[{upper(key), upper(name)}] = RegValue{RegType::String, 0, value};
}

void SimulatedMachine::setBinary(const std::string& key, const std::string& name,
                                 const std::vector<std::uint8_t>& value) {
  registry_[{upper(key), upper(name)}] = RegValue{RegType::Binary, 0, std::string(value.begin(), value.end())};
}

void SimulatedMachine::removeValue(const std::string& key, const std::string& name) {
  registry_.erase({upper(key), upper(name)});
}

void SimulatedMachine::setDiskCount(std::uint32_t count) { setDword(kEnumKey, "Count", count); }

void SimulatedMachine::setDiskInstancePath(unsigned index, const std::string& path) {
  setString(kEnumKey, std::to_string(index), path);
}

void SimulatedMachine::mountVolume(char letter, const SimulatedVolume& volume) {
  letter = upperLetter(letter);
  otherLetters_.erase(letter);
  mounted_[letter] = volume;
}

void SimulatedMachine::unmountVolume(char letter) { mounted_.erase(upperLetter(letter)); }

void SimulatedMachine::takeLetter(char letter, unsigned driveType) {
  letter = upperLetter(letter);
  mounted_.erase(letter);
  otherLetters_[letter] = driveType;
}

SimulatedVolume* SimulatedMachine::volume(char letter) {
  letter = upperLetter(letter);
  auto mounted = mounted_.find(letter);
  if (mounted != mounted_.end()) return &mounted->second;
  for (const auto& name : defined_) {
    if (name.first != letter) continue;
    for (auto& device : partitionDevices_) {
      const std::string target = "\\DEVICE\\HARDDISK" + std::to_string(device.first.first) +
                                 "\\PARTITION" + std::to_string(device.first.second);
      if (upper(name.second) == target) return &device.second;
    }
  }
  return nullptr;
}

void SimulatedMachine::addPartitionDevice(unsigned disk, unsigned number, const SimulatedVolume& volume) {
  SimulatedVolume& stored = partitionDevices_[{disk, number}];
  stored = volume;
  stored.disk = disk;
}

SimulatedVolume* SimulatedMachine::partitionDevice(unsigned disk, unsigned number) {
  auto found = partitionDevices_.find({disk, number});
  return found == partitionDevices_.end() ? nullptr : &found->second;
}

std::vector<std::string> SimulatedMachine::definedNames() const {
  std::vector<std::string> names;
  for (const auto& name : defined_) names.push_back(std::string(1, name.first) + ":");
  return names;
}

std::string SimulatedMachine::definedTarget(const std::string& name) const {
  const char letter = letterOfPath(name, Backslash::Optional);
  for (const auto& entry : defined_) {
    if (entry.first == letter && name.size() == 2) return entry.second;
  }
  return {};
}

void SimulatedMachine::setOsVersion(const OsVersion& version) {
  versionEx_ = version;
  rawVersion_ = (version.major & 0xFF) | ((version.minor & 0xFF) << 8);
  // The 95/98/Millennium family sets the top bit; the NT family reports the build there.
  rawVersion_ |= version.platformId == 1 ? 0x80000000u : ((version.build & 0x7FFF) << 16);
}

// ---- Logs -----------------------------------------------------------------------------------

std::vector<DiskAccessRecord> SimulatedMachine::diskLog(DiskOp op) const {
  std::vector<DiskAccessRecord> records;
  for (const auto& record : diskLog_) {
    if (record.op == op) records.push_back(record);
  }
  return records;
}

std::vector<PlatformCall> SimulatedMachine::calls(CallKind kind) const {
  std::vector<PlatformCall> records;
  for (const auto& call : calls_) {
    if (call.kind == kind) records.push_back(call);
  }
  return records;
}

void SimulatedMachine::clearLogs() {
  diskLog_.clear();
  calls_.clear();
  journal_.clear();
  fileSystemWrites_.clear();
  cursors_.clear();
  statusTexts_.clear();
  closeRequests_ = 0;
  messageBoxes_.clear();
  shellOpens_.clear();
}

void SimulatedMachine::logDisk(DiskOp op, unsigned disk, std::uint64_t offset, DiskAccess access,
                               bool ok, long bytes, char volume, std::uint64_t base) {
  diskLog_.push_back({++seq_, op, disk, offset, volume, access, ok, bytes});
  const std::string number = volume ? std::string(1, volume) + ":" : std::to_string(disk);
  switch (op) {
    case DiskOp::Open:
      note("open " + number + " " + accessText(access) + (ok ? " ok" : " failed"));
      break;
    case DiskOp::Read:
    case DiskOp::Write:
      note(std::string(op == DiskOp::Read ? "read " : "write ") + number + " " + hex(offset - base) +
           " " + (bytes < 0 ? std::string("failed") : std::to_string(bytes)));
      break;
    case DiskOp::Close:
      note("close " + number);
      break;
  }
}

void SimulatedMachine::logCall(CallKind kind, std::string first, std::string second, unsigned value,
                               bool ok) {
  calls_.push_back({++seq_, kind, std::move(first), std::move(second), value, ok});
}

void SimulatedMachine::note(std::string line) { journal_.push_back(std::move(line)); }

// ---- RawDisks -------------------------------------------------------------------------------

std::unique_ptr<DiskHandle> SimulatedMachine::openDisk(unsigned index, DiskAccess access) {
  auto found = disks_.find(index);
  std::optional<SimulatedDisk::Fault> fault;
  if (found != disks_.end()) {
    fault = found->second.faultFor(SimulatedDisk::FaultOp::Open, 0, access);
  }
  const bool ok = found != disks_.end() && !fault;
  logDisk(DiskOp::Open, index, 0, access, ok, 0);
  // No such disk: CreateFileA finds no device under that name.
  if (!ok) return openFailed(fault ? fault->error : kErrorFileNotFound);
  return std::make_unique<SimulatedDiskHandle>(*this, index, access);
}

std::unique_ptr<DiskHandle> SimulatedMachine::openVolume(char letter, DiskAccess access) {
  const SimulatedVolume* found = isLetter(letter) ? volume(letter) : nullptr;
  auto disk = found ? disks_.find(found->disk) : disks_.end();
  bool ok = disk != disks_.end();
  if (ok && disk->second.faultFor(SimulatedDisk::FaultOp::Open, 0, access)) ok = false;
  const unsigned index = found ? found->disk : 0;
  const std::uint64_t base = found ? found->startOffset : 0;
  logDisk(DiskOp::Open, index, 0, access, ok, 0, upperLetter(letter), base);
  if (!ok) return nullptr;
  return std::make_unique<SimulatedDiskHandle>(*this, index, access, upperLetter(letter), base);
}

bool SimulatedMachine::updateDiskProperties(unsigned index) {
  ++updateRequests_[index];
  const bool ok = disks_.count(index) != 0 && !updateRequestsFail_;
  logCall(CallKind::UpdateProperties, std::to_string(index), {}, 0, ok);
  note("updateProperties " + std::to_string(index) + (ok ? " ok" : " failed"));
  return ok;
}

unsigned SimulatedMachine::updateRequests(unsigned index) const {
  auto found = updateRequests_.find(index);
  return found == updateRequests_.end() ? 0 : found->second;
}

std::vector<const SimulatedVolume*> SimulatedMachine::mountedVolumes() {
  std::vector<const SimulatedVolume*> volumes;
  for (const auto& entry : mounted_) volumes.push_back(&entry.second);
  for (const auto& name : defined_) {
    if (const SimulatedVolume* found = volume(name.first)) volumes.push_back(found);
  }
  return volumes;
}

bool SimulatedMachine::diskWriteAllowed(unsigned disk, std::uint64_t offset, std::size_t size) {
  for (const SimulatedVolume* mounted : mountedVolumes()) {
    if (mounted->disk == disk && !mounted->locked &&
        overlaps(offset, size, mounted->startOffset, mounted->length)) {
      return false;
    }
  }
  return true;
}

bool SimulatedMachine::volumeWriteAllowed(char letter, std::uint64_t offset, std::size_t size) {
  const SimulatedVolume* found = volume(letter);
  if (!found) return false;  // the letter has gone: the handle leads nowhere now
  if (found->locked) return true;
  // The reserved area as the volume's own boot sector gives it; any other file system keeps
  // only its first sector for boot code.
  std::uint64_t reserved = kSectorSize;
  const std::vector<std::uint8_t> bpb = disk(found->disk).bytes(found->startOffset, 0x10);
  const unsigned bytesPerSector = bpb[0x0B] | (bpb[0x0C] << 8), sectors = bpb[0x0E] | (bpb[0x0F] << 8);
  if (upper(found->fileSystem).rfind("FAT", 0) == 0 && bytesPerSector == kSectorSize && sectors > 0) {
    reserved = std::uint64_t{sectors} * kSectorSize;
  }
  return offset < reserved && size <= reserved - offset;
}

// ---- Registry -------------------------------------------------------------------------------

const SimulatedMachine::RegValue* SimulatedMachine::findValue(const std::string& key,
                                                              const std::string& name) const {
  auto found = registry_.find({upper(key), upper(name)});
  return found == registry_.end() ? nullptr : &found->second;
}

std::optional<std::uint32_t> SimulatedMachine::readDword(const std::string& key, const std::string& name) {
  const RegValue* value = findValue(key, name);
  const bool ok = value && value->type == RegType::Dword;
  logCall(CallKind::ReadDword, key, name, 0, ok);
  if (!ok) return std::nullopt;
  return value->dword;
}

std::optional<std::string> SimulatedMachine::readString(const std::string& key, const std::string& name) {
  const RegValue* value = findValue(key, name);
  const bool ok = value && value->type == RegType::String;
  logCall(CallKind::ReadString, key, name, 0, ok);
  if (!ok) return std::nullopt;
  // Like a REG_SZ read: the text ends at its first zero byte.
  return ansiText(value->text.substr(0, value->text.find('\0')));
}

std::string SimulatedMachine::ansiText(const std::string& gbk) const {
  if (ansiCodePage_ == 936) return gbk;
  // Code page 1252 holds no Chinese character: each becomes '?', as the conversion's default.
  std::string out;
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(gbk[i]);
    if (isGbkLeadByte(c)) {
      out += '?';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// ---- Volumes --------------------------------------------------------------------------------

std::uint32_t SimulatedMachine::takenLetters() const {
  std::uint32_t mask = 0;
  for (const auto& entry : mounted_) mask |= letterBit(entry.first);
  for (const auto& entry : otherLetters_) mask |= letterBit(entry.first);
  for (const auto& entry : defined_) mask |= letterBit(entry.first);
  return mask;
}

unsigned SimulatedMachine::driveType(const std::string& rootPath) {
  const char letter = letterOfPath(rootPath, Backslash::Optional);
  unsigned type = kDriveNoRootDir;
  if (letter) {
    if (SimulatedVolume* found = volume(letter)) {
      type = found->driveType;
    } else if (otherLetters_.count(letter)) {
      type = otherLetters_[letter];
    }
  }
  logCall(CallKind::DriveType, rootPath, {}, type, type != kDriveNoRootDir);
  return type;
}

VolumeExtent SimulatedMachine::queryVolumeExtent(char letter) {
  VolumeExtent extent;
  SimulatedVolume* found = isLetter(letter) ? volume(letter) : nullptr;
  const bool ok = found && !found->extentQueryFails;
  if (ok) {
    extent.DiskNumber = found->disk;
    extent.StartingOffset = found->startOffset;
    extent.ExtentLength = found->length;
  }
  logCall(CallKind::QueryVolumeExtent, std::string(1, letter), {}, 0, ok);
  return extent;
}

std::optional<VolumeInformation> SimulatedMachine::volumeInformation(const std::string& rootPath) {
  const char letter = letterOfPath(rootPath, Backslash::Required);
  SimulatedVolume* found = letter ? volume(letter) : nullptr;
  const bool ok = found && !found->informationFails;
  logCall(CallKind::VolumeInformation, rootPath, {}, 0, ok);
  if (!ok) return std::nullopt;
  return VolumeInformation{found->label, found->fileSystem};
}

bool SimulatedMachine::hasDiskFreeSpaceEx() {
  logCall(CallKind::HasDiskFreeSpaceEx, {}, {}, 0, hasFreeSpaceEx_);
  return hasFreeSpaceEx_;
}

std::optional<std::uint64_t> SimulatedMachine::diskFreeSpaceEx(const std::string& path) {
  const char letter = letterOfPath(path, Backslash::Optional);
  SimulatedVolume* found = letter ? volume(letter) : nullptr;
  // Calling it where kernel32 does not export it would be a crash on the real system.
  if (!hasFreeSpaceEx_) throw std::logic_error("GetDiskFreeSpaceExA called where it does not exist");
  const bool ok = found && !found->freeSpaceFails;
  logCall(CallKind::DiskFreeSpaceEx, path, {}, 0, ok);
  if (!ok) return std::nullopt;
  return found->freeBytes;
}

std::optional<ClusterFreeSpace> SimulatedMachine::diskFreeSpace(const std::string& path) {
  const char letter = letterOfPath(path, Backslash::Optional);
  SimulatedVolume* found = letter ? volume(letter) : nullptr;
  const bool ok = found && !found->freeSpaceFails;
  logCall(CallKind::DiskFreeSpace, path, {}, 0, ok);
  if (!ok) return std::nullopt;
  if (found->clusters) return *found->clusters;
  ClusterFreeSpace space;
  space.bytesPerSector = 512;
  space.sectorsPerCluster = 8;
  space.freeClusters = static_cast<std::uint32_t>(std::min<std::uint64_t>(found->freeBytes / 4096, 0xFFFFFFFFu));
  space.totalClusters = space.freeClusters;
  return space;
}

bool SimulatedMachine::setVolumeLabel(const std::string& rootPath, const std::string& label) {
  const char letter = letterOfPath(rootPath, Backslash::Required);
  SimulatedVolume* found = letter ? volume(letter) : nullptr;
  bool ok = found && !found->refusesLabel && isGbkText(label);
  std::string stored = label;
  if (ok && upper(found->fileSystem).rfind("FAT", 0) == 0) {
    const std::optional<std::string> fat = fatVolumeLabel(label);
    ok = fat.has_value();
    if (ok) stored = *fat;
    // A FAT32 volume keeps its label in the root directory, on the disk itself.
    SimulatedDisk* onDisk = disks_.count(found->disk) ? &disk(found->disk) : nullptr;
    if (ok && upper(found->fileSystem) == "FAT32" && onDisk && hasFat32Layout(*onDisk, found->startOffset)) {
      const std::optional<FileSystemWrite> written = writeFat32LabelEntry(*onDisk, found->startOffset, stored);
      ok = written.has_value();
      if (ok && written->size > 0) fileSystemWrites_.push_back(*written);
    }
  }
  if (ok) found->label = stored;
  logCall(CallKind::SetLabel, rootPath, label, 0, ok);
  note("setVolumeLabel " + rootPath + " " + label + (ok ? " ok" : " refused"));
  return ok;
}

std::uint32_t SimulatedMachine::logicalDrives() {
  const std::uint32_t mask = takenLetters();
  logCall(CallKind::LogicalDrives, {}, {}, mask, true);
  return mask;
}

// ---- DosDevices -----------------------------------------------------------------------------

bool SimulatedMachine::defineRawTarget(const std::string& name, const std::string& target) {
  // Only drive-letter names ("F:") are simulated; anything else is a fault of the caller.
  const char letter = name.size() == 2 ? letterOfPath(name, Backslash::Optional) : 0;
  const bool ok = letter && !refuseDefinitions_ && !(takenLetters() & letterBit(letter)) && !target.empty();
  if (ok) defined_.emplace_back(letter, target);
  logCall(CallKind::DefineName, name, target, 0, ok);
  note("define " + name + " " + target + (ok ? " ok" : " failed"));
  return ok;
}

bool SimulatedMachine::removeDefinition(const std::string& name) {
  const char letter = name.size() == 2 ? letterOfPath(name, Backslash::Optional) : 0;
  auto found = std::find_if(defined_.begin(), defined_.end(),
                            [letter](const auto& entry) { return entry.first == letter; });
  const bool ok = letter && found != defined_.end();
  if (ok) defined_.erase(found);
  logCall(CallKind::RemoveName, name, {}, 0, ok);
  note("remove " + name + (ok ? " ok" : " failed"));
  return ok;
}

// ---- SystemInfo -----------------------------------------------------------------------------

std::uint32_t SimulatedMachine::getVersion() {
  logCall(CallKind::Version, {}, {}, rawVersion_, true);
  return rawVersion_;
}

std::optional<OsVersion> SimulatedMachine::getVersionEx() {
  logCall(CallKind::VersionEx, {}, {}, 0, versionEx_.has_value());
  return versionEx_;
}

// ---- UiServices -----------------------------------------------------------------------------

void SimulatedMachine::setCursor(Cursor cursor) {
  cursors_.push_back(cursor);
  logCall(CallKind::SetCursor, {}, {}, cursor == Cursor::Wait ? 1 : 0, true);
  note(cursor == Cursor::Wait ? "cursor wait" : "cursor arrow");
}

void SimulatedMachine::setStatusText(const std::string& text) {
  statusTexts_.push_back(text);
  logCall(CallKind::SetStatusText, text, {}, 0, true);
  note("status " + text);
}

void SimulatedMachine::requestClose() {
  ++closeRequests_;
  logCall(CallKind::RequestClose, {}, {}, 0, true);
  note("requestClose");
}

void SimulatedMachine::messageBox(const std::string& text, const std::string& caption, unsigned style) {
  messageBoxes_.push_back({text, caption, style});
  logCall(CallKind::ShowMessageBox, text, caption, style, true);
  note("messageBox " + caption + "|" + text + "|" + hex(style));
}

void SimulatedMachine::shellOpen(const std::string& file) {
  shellOpens_.push_back(file);
  logCall(CallKind::ShellOpen, file, {}, 0, true);
  note("shellOpen " + file);
}

}  // namespace quenbolt
