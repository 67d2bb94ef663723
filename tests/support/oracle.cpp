#include "support/oracle.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "support/sectors.h"

namespace quenbolt {
namespace oracle {

namespace {

// Exit statuses as the batch commands are defined.
enum : int { kDone = 0, kFailed = 1, kRefused = 2, kNoSuchPartition = 3, kUnreadable = 4 };

bool isLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// a to z upper-cased, double-byte characters left whole.
std::string upper(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isLead(static_cast<unsigned char>(text[i]))) ++i;
    else if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 32);
  }
  return text;
}

// The first `max` bytes; one fewer when the cut would leave a lead byte alone at the end.
std::string cut(const std::string& text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t keep = 0;
  while (keep < text.size()) {
    const std::size_t width = isLead(static_cast<unsigned char>(text[keep])) ? 2 : 1;
    if (keep + width > max) break;
    keep += width;
  }
  return text.substr(0, keep);
}

std::string hex2(unsigned byte) {
  const char* digits = "0123456789ABCDEF";
  return {digits[byte >> 4 & 15], digits[byte & 15]};
}

// One or two hexadecimal digits: their value; anything else: -1.
int hexValue(const std::string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int value = 0;
  for (char c : text) {
    const char* digit = std::strchr("0123456789ABCDEF", c >= 'a' && c <= 'f' ? c - 32 : c);
    if (!digit || !c) return -1;
    value = value * 16 + static_cast<int>(digit - "0123456789ABCDEF");
  }
  return value;
}

unsigned field(const Sector& s, std::size_t at, int bytes) {
  unsigned value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | s[at + static_cast<std::size_t>(i)];
  return value;
}

bool isTable(const Sector& s) { return s[510] == 0x55 && s[511] == 0xAA && (s[0x1BE] == 0 || s[0x1BE] == 0x80); }
bool isContainer(unsigned type) { return type == 0x05 || type == 0x0F; }
bool isFat32Of512(const Sector& s) { return upper(std::string(s.begin() + 0x52, s.begin() + 0x57)) == "FAT32" && field(s, 0x0B, 2) == 512; }

// A sector as a read of it gives it: zeros past the disk's end.
Sector sectorAt(const SimulatedDisk& disk, std::uint64_t offset) {
  return disk.size >= 512 && offset <= disk.size - 512 ? disk.sector(offset) : Sector{};
}

}  // namespace

std::vector<Part> partsOf(const SimulatedMachine& m, std::vector<unsigned>& unreadable) {
  std::vector<Part> parts;
  const auto count = m.enumValues.find("COUNT");
  const auto* n = count == m.enumValues.end() ? nullptr : std::get_if<std::uint32_t>(&count->second);
  for (unsigned disk = 0; n && *n < 0x80000000u && disk < *n; ++disk) {
    const auto found = m.disks.find(disk);
    if (found == m.disks.end()) {
      unreadable.push_back(disk);
      continue;
    }
    const SimulatedDisk& d = found->second;
    const Sector mbr = d.sector(0);
    if (!isTable(mbr)) continue;
    unsigned display = 0, primaries = 0, visits = 0, systems = 0;
    for (unsigned slot = 0; slot < 4; ++slot) primaries += field(mbr, 0x1CA + 16 * slot, 4) && !isContainer(mbr[0x1C2 + 16 * slot]);
    std::set<std::uint64_t> read{0};  // a table sector is read once; the MBR is never an EBR
    auto readAt = [&](std::uint64_t offset, Sector& s) {
      if (read.size() > 4096 || !read.insert(offset).second) return false;
      s = sectorAt(d, offset);
      return true;
    };
    for (unsigned slot = 0; slot < 4; ++slot) {
      const std::size_t e = 0x1BE + 16 * slot;
      if (!field(mbr, e + 12, 4)) continue;
      Part p{disk, "", 0, !isContainer(mbr[e + 4]), 0, e + 4, std::uint64_t{field(mbr, e + 8, 4)} * 512, mbr[e + 4], mbr[e]};
      if (p.primary) p.number = std::to_string(++display), p.system = ++systems;
      parts.push_back(p);
      if (p.primary) continue;
      const std::uint64_t base = p.start;
      std::uint64_t at = base;
      Sector s{};
      if (!readAt(at, s) || !isTable(s)) continue;
      for (;;) {  // the chain: a link in slot 0 is followed at once; only a zero link ends it
        if (isTable(s) && isContainer(s[0x1C2]) && !readAt(at = base + std::uint64_t{field(s, 0x1C6, 4)} * 512, s)) break;
        if (isTable(s)) {
          Part q{disk, "", primaries + ++visits, false, at, at + 0x1C2, at + std::uint64_t{field(s, 0x1C6, 4)} * 512, s[0x1C2], s[0x1BE]};
          if (!isContainer(q.type)) q.number = std::to_string(++display);
          parts.push_back(q);
        }
        const unsigned link = field(s, isContainer(s[0x1C2]) ? 0x1C6 : 0x1D6, 4);
        if (!link || !readAt(at = base + std::uint64_t{link} * 512, s)) break;
      }
    }
  }
  for (Part& p : parts) {  // letters C to Z in turn; a volume at offset 0 is one of unknown extent
    for (const auto& [letter, v] : m.letters) {
      if (letter >= 'C' && !v.noExtent && v.disk == p.disk && v.start == p.start && v.start) p.letter = letter;
    }
  }
  return parts;
}

void buildRandomMachine(Chooser& c, SimulatedMachine& m) {
  static const std::vector<unsigned> types{0x05, 0x0F, 0x07, 0x0B, 0x0C, 0x1B, 0x1C, 0xBC, 0x00, 0x85, 0x17, 0xEE};
  static const std::vector<std::uint32_t> odd{63, 0, 1, 0x800000, 0xFFFFFFC0, 0x7FFFFF00};
  static const std::vector<std::string> bootLabels{"BOOT", "Boot x", "卷", ""}, volumeLabels{"VOL", "Volume 2", "系统"};
  std::string letters = "CDEFGHIJKLMNOPQRSTUVWXYZ";
  const unsigned disks = 1 + c.below(3);
  for (unsigned n = 0; n < disks; ++n) {
    if (c.chance(4)) continue;  // listed in the registry, but not there
    SimulatedDisk& d = m.addDisk(n, c.chance(50) ? 1ull << 30 : 1ull << 42);
    auto put = [&d](std::uint64_t at, const Sector& s) { if (at <= d.size - 512) d.put(at, s); };
    auto start = [&] { return c.chance(75) ? 2048 * (1 + c.below(300)) : c.oneOf(odd); };
    auto boot = [&] { return static_cast<char>(c.chance(75) ? 0 : c.chance(90) ? 0x80 : c.below(256)); };
    std::vector<std::pair<std::uint64_t, std::uint32_t>> volumes;  // partition starts and sizes
    Sector mbr = table({});
    for (unsigned slot = 0; slot < 4; ++slot) {
      if (!c.chance(65)) continue;
      const unsigned type = c.oneOf(types);
      const std::uint32_t s = start(), count = c.chance(92) ? 2048 * (1 + c.below(100)) : 0;
      place(mbr, 0x1BE + 16 * slot, std::string(1, boot()) + le(0, 3) + static_cast<char>(type) + le(0, 3) + le(s, 4) + le(count, 4));
      if (!isContainer(type)) {
        volumes.push_back({s * 512ull, count});
        continue;
      }
      std::vector<std::uint32_t> links{0};
      for (unsigned k = 0, chain = c.below(6); k < chain; ++k) {
        const std::uint32_t rel = c.chance(85) ? 63 : c.oneOf(odd), next = links.back() + 2048 * (1 + c.below(50));
        const bool link = c.chance(12);  // a link in slot 0, counted from the container's start
        unsigned entryType = link ? (c.chance(60) ? 0x05 : 0x0F) : c.oneOf(types);
        if (!link && isContainer(entryType)) entryType = 0x07;
        Sector ebr = table({{0, static_cast<std::uint8_t>(boot()), static_cast<std::uint8_t>(entryType),
                             link ? c.oneOf(links) : rel, 2048 * (1 + c.below(20))},
                            {1, 0, 0x05, k + 1 < chain ? next : c.chance(10) ? c.oneOf(links) : 0, 2048}}, c.chance(93));
        if (!link) volumes.push_back({(std::uint64_t{s} + links.back() + rel) * 512, 2048});
        put((s + std::uint64_t{links.back()}) * 512, ebr);
        links.push_back(next);
      }
    }
    if (c.chance(3)) mbr[0x1FF] = 0;
    put(0, mbr);
    for (const auto& [at, sectors] : volumes) {
      if (!at || !c.chance(70)) continue;
      const bool fat32 = c.chance(70);
      const unsigned backup = fat32 && c.chance(40) ? 6 : 0;
      Sector s = fat32 ? fat32Boot(c.oneOf(bootLabels), backup) : ntfsBoot();
      if (fat32 && c.chance(5)) place(s, 0x32, le(c.chance(50) ? 0xFFFF : 32, 2));  // no backup, or one past the reserved area
      put(at, s);
      if (backup && c.chance(80)) put(at + backup * 512, s);
      if (letters.empty() || !c.chance(70)) continue;
      const char letter = letters[c.below(static_cast<std::uint32_t>(letters.size()))];
      letters.erase(letters.find(letter), 1);
      SimulatedVolume& v = m.letters[letter];
      v.disk = n, v.start = at, v.length = std::uint64_t{sectors} * 512, v.label = c.oneOf(volumeLabels);
      v.fileSystem = fat32 ? "FAT32" : "NTFS";
    }
  }
  m.setDiskCount(disks + (c.chance(5) ? 1 : 0));
}

std::vector<std::string> randomCommand(Chooser& c, const SimulatedMachine& m) {
  static const std::vector<std::string> words{"/M", "/F", "/L", "/S", "/A", "/m", "/f", "/l", "/s", "/a", "/X"},
      ids{"07", "0B", "0c", "1C", "05", "0F", "ee", "7", "c", "G1", "007", "1b", "00"},
      labels{"data", "New Label", "ABCDEFGHIJKL", "数据", "ABCDEFGHIJ数据", "x.y"},
      numbers{"1", "2", "3", "4", "5", "01", "x"}, flags{"1", "0", "yes"};
  std::vector<unsigned> unreadable;
  const std::vector<Part> parts = partsOf(m, unreadable);
  const Part* p = parts.empty() || c.chance(10) ? nullptr : &c.oneOf(parts);
  const std::string word = c.oneOf(words), w = upper(word);
  auto id = [&] { return p && c.chance(60) ? (c.chance(80) ? hex2(p->type) : std::string(1, hex2(p->type)[0]) + static_cast<char>(hex2(p->type)[1] | 0x20)) : c.oneOf(ids); };
  const std::string disk = p && c.chance(90) ? std::to_string(p->disk + 1) : c.oneOf(numbers);
  std::vector<std::string> args{word};
  if (w == "/M" || w == "/L") {
    args.insert(args.end(), {disk, p && !p->number.empty() && c.chance(90) ? p->number : c.oneOf(numbers), w == "/M" ? id() : c.oneOf(labels)});
  } else if (w == "/A") {
    args.insert(args.end(), {c.chance(10) ? "0" + disk : disk, p && p->primary && c.chance(85) ? std::to_string(p->system) : c.oneOf(numbers), c.oneOf(flags)});
  } else if (w == "/F" || w == "/S") {
    args.insert(args.end(), {id(), w == "/F" ? c.oneOf(ids) : c.oneOf(labels)});
  }
  if (c.chance(3)) args.push_back("extra");
  else if (args.size() > 1 && c.chance(3)) args.pop_back();
  return args;
}

void plantFaults(Chooser& c, SimulatedMachine& m) {
  std::vector<unsigned> unreadable;
  const std::vector<Part> parts = partsOf(m, unreadable);
  for (unsigned f = 0, faults = parts.empty() ? 0 : 1 + c.below(3); f < faults; ++f) {
    const Part& p = c.oneOf(parts);
    const FaultOn on = c.oneOf(std::vector<FaultOn>{FaultOn::OpenForWriting, FaultOn::Read, FaultOn::Write});
    const long bytes = c.chance(50) ? -1 : static_cast<long>(c.below(512));
    m.disks[p.disk].faults.push_back({on, c.chance(60) ? p.table : p.start + 6 * 512 * c.below(2), bytes, c.below(3)});
  }
}

std::string labelField(const std::string& label) { return upper((cut(label, 11) + std::string(11, ' ')).substr(0, 11)); }

std::vector<std::string> writesWithoutFullRead(const std::vector<std::string>& log) {
  std::vector<std::string> problems;
  bool failed = false;
  std::optional<std::uint64_t> lastFull;
  for (const std::string& line : log) {
    const std::optional<LoggedAccess> a = parseAccess(line);
    if (line.compare(0, 5, "open ") == 0) failed = false, lastFull.reset();
    if (!a) continue;
    if (a->op == "read") {
      failed = failed || a->bytes != 512;
      lastFull = a->bytes == 512 ? std::optional<std::uint64_t>(a->offset) : std::nullopt;
    } else if (failed || lastFull != a->offset) {
      problems.push_back(line + ": a write without a full read of its sector just before");
    }
  }
  return problems;
}

std::vector<std::string> checkBatchRun(const SimulatedMachine& before, const SimulatedMachine& after,
                                       const std::vector<std::string>& args, int status, bool faults) {
  std::vector<std::string> problems = writesWithoutFullRead(after.log);
  std::vector<unsigned> unreadable;
  const std::vector<Part> parts = partsOf(before, unreadable);
  auto named = [&](const std::string& diskText, const std::string& number) -> const Part* {
    for (const Part& p : parts) {
      if (!p.number.empty() && std::to_string(p.disk + 1) == upper(diskText) && p.number == upper(number)) return &p;
    }
    return nullptr;
  };
  auto unreadableNamed = [&](const std::string& disk) {
    return std::any_of(unreadable.begin(), unreadable.end(), [&](unsigned u) { return std::to_string(u + 1) == upper(disk); });
  };
  auto refused = [&](int expected) {
    if (status != expected) problems.push_back("exit status " + std::to_string(status) + ", not " + std::to_string(expected));
    if (after.contents() != before.contents() || !after.logged("label ").empty()) problems.push_back("changed although refused");
    return problems;
  };
  const std::string word = args.empty() ? "" : upper(args[0]);
  const std::map<std::string, std::size_t> counts{{"/M", 3}, {"/L", 3}, {"/A", 3}, {"/F", 2}, {"/S", 2}};
  if (!counts.count(word) || args.size() != counts.at(word) + 1) return refused(kRefused);

  struct Write { unsigned disk; std::uint64_t offset; std::string bytes; };
  std::vector<Write> writes;
  std::vector<std::pair<const Part*, std::string>> labels;
  bool failure = false, everyDisk = word == "/F" || word == "/S";
  auto writeType = [&](const Part& p, int type) {
    bool blocked = false;  // a table sector inside a mounted volume: Windows refuses the write
    for (const auto& [letter, v] : before.letters) blocked |= v.disk == p.disk && p.table < v.start + v.length && v.start < p.table + 512;
    if (type != p.type && blocked) failure = true;
    else if (type != p.type) writes.push_back({p.disk, p.typeAt, std::string(1, static_cast<char>(type))});
  };
  if (word == "/M" || word == "/L") {
    const int type = word == "/M" ? hexValue(args[3]) : 0;
    if (type < 0 || type == 0xEE) return refused(kRefused);
    const Part* p = named(args[1], args[2]);
    if (!p) return refused(unreadableNamed(args[1]) ? kUnreadable : kNoSuchPartition);
    if (word == "/M" && p->type == 0xEE) return refused(kRefused);
    if (word == "/M") writeType(*p, type);
    else labels.push_back({p, cut(args[3], 11)});
  } else if (word == "/F") {
    const int from = hexValue(args[1]), to = hexValue(args[2]);
    if (from < 0 || to < 0 || from == 0xEE || to == 0xEE) return refused(kRefused);
    for (const Part& p : parts) {
      if (hex2(p.type) == upper(args[1])) writeType(p, to);
    }
  } else if (word == "/S") {
    if (hexValue(args[1]) < 0 || upper(args[1]) == "05" || upper(args[1]) == "0F") return refused(kRefused);
    for (const Part& p : parts) {
      if (hex2(p.type) == upper(args[1])) labels.push_back({&p, upper(args[2])});
    }
  } else {  // "/A": the disk read as a number, the primary by its system number
    long long disk = 0;
    const std::string d = upper(args[1]);
    std::size_t i = d[0] == '+' || d[0] == '-';
    for (; i < d.size() && std::isdigit(static_cast<unsigned char>(d[i])); ++i) disk = disk * 10 + (d[i] - '0');
    disk = (d[0] == '-' ? -disk : disk) - 1;
    const Part* p = nullptr;
    for (const Part& q : parts) p = q.primary && q.disk == disk && std::to_string(q.system) == upper(args[2]) ? &q : p;
    if (!p) return refused(unreadableNamed(std::to_string(disk + 1)) ? kUnreadable : kNoSuchPartition);
    const bool active = args[3] == "1";
    if (active != (p->boot == 0x80)) writes.push_back({p->disk, p->typeAt - 4, std::string(1, active ? '\x80' : '\0')});
  }
  static const std::set<std::string> fat32Types{"0B", "0C", "1B", "1C", "BC"};
  for (const auto& [p, label] : labels) {
    if (!p->letter) {
      failure = true;  // no letter to set it through
      continue;
    }
    const std::string call = "label " + std::string(1, p->letter) + ":\\ " + label;
    const auto logged = std::find_if(after.log.begin(), after.log.end(), [&](const std::string& l) { return l.rfind(call + " ", 0) == 0; });
    if (logged == after.log.end()) problems.push_back("no " + call);
    else failure |= logged->substr(call.size()) == " refused";
    const SimulatedDisk& d = before.disks.at(p->disk);
    const Sector boot = sectorAt(d, p->start);
    if (fat32Types.count(hex2(p->type)) && p->start > d.size - 512) failure = true;  // its boot sector cannot be read
    if (!fat32Types.count(hex2(p->type)) || upper(std::string(boot.begin() + 0x52, boot.begin() + 0x57)) != "FAT32") continue;
    const std::string stored = labelField(label);
    if (!isFat32Of512(boot)) {
      failure = true;
      continue;
    }
    writes.push_back({p->disk, p->start + 0x47, stored});
    const unsigned backup = field(boot, 0x32, 2);
    if (!backup || backup == 0xFFFF || backup >= field(boot, 0x0E, 2)) continue;
    if (isFat32Of512(sectorAt(d, p->start + backup * 512))) writes.push_back({p->disk, p->start + backup * 512 + 0x47, stored});
    else failure = true;
  }
  for (const std::string& line : after.logged("label ")) {
    bool asked = false;
    for (const auto& [p, label] : labels) asked |= p->letter && line.rfind(std::string(1, p->letter) + ":\\ " + label + " ", 0) == 0;
    if (!asked) problems.push_back("label " + line + " never asked for");
  }

  // Bytes: each changed byte asked for (or written by the FAT driver); each asked for there.
  std::map<std::pair<unsigned, std::uint64_t>, int> allowed;  // -1: any value
  for (const Write& w : writes) {
    for (std::size_t i = 0; i < w.bytes.size(); ++i) allowed[{w.disk, w.offset + i}] = static_cast<unsigned char>(w.bytes[i]);
  }
  for (const std::string& line : after.logged("fat ")) {
    unsigned disk = 0;
    unsigned long long offset = 0, size = 0;
    std::sscanf(line.c_str(), "%u %llx %llu", &disk, &offset, &size);
    for (std::uint64_t i = 0; i < size; ++i) allowed[{disk, offset + i}] = -1;
  }
  const auto now = after.contents(), then = before.contents();
  for (const auto& [disk, sectors] : now) {
    std::set<std::uint64_t> indices;
    for (const auto& s : sectors) indices.insert(s.first);
    for (const auto& s : then.at(disk)) indices.insert(s.first);
    for (std::uint64_t index : indices) {
      const auto a = then.at(disk).find(index), b = sectors.find(index);
      for (std::size_t i = 0; i < 512; ++i) {
        const int old = a == then.at(disk).end() ? 0 : a->second[i], value = b == sectors.end() ? 0 : b->second[i];
        const auto ok = allowed.find({disk, index * 512 + i});
        if (old != value && (ok == allowed.end() || (ok->second >= 0 && ok->second != value))) {
          problems.push_back("disk " + std::to_string(disk) + " byte " + std::to_string(index * 512 + i) + " changed unasked");
        }
      }
    }
  }
  bool allLanded = true;
  for (const Write& w : writes) allLanded &= after.disks.at(w.disk).bytes(w.offset, w.bytes.size()) == w.bytes;
  const int expected = failure ? kFailed : everyDisk && !unreadable.empty() ? kUnreadable : kDone;
  if (!faults && (!allLanded || status != expected)) {
    problems.push_back("exit status " + std::to_string(status) + ", not " + std::to_string(expected) + (allLanded ? "" : "; a change is missing"));
  }
  if (faults && status != expected && status != kFailed) problems.push_back("exit status " + std::to_string(status));
  if (faults && !allLanded && status != kFailed) problems.push_back("a change neither made nor reported");
  if (after.openHandles) problems.push_back("a handle left open");
  return problems;
}

}  // namespace oracle
}  // namespace quenbolt
