#include "support/oracle.h"
#include <algorithm>
#include <cstdlib>
#include <set>

namespace quenbolt {
namespace oracle {
namespace {
enum : int { kDone, kFailed, kRefused, kNoSuchPartition, kUnreadable };  // exit statuses

std::string hex2(unsigned byte) { return hexText(0x100 | byte).substr(3); }

// One or two hexadecimal digits of either case: their value; anything else: -1.
int hexValue(const std::string& text) {
  const bool hex = !text.empty() && text.size() <= 2 &&
                   text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
  return hex ? std::stoi(text, nullptr, 16) : -1;
}

unsigned field(const Sector& s, std::size_t at) {  // 32 bits, little-endian
  return s[at] | s[at + 1] << 8 | s[at + 2] << 16 | unsigned{s[at + 3]} << 24;
}

bool isTable(const Sector& s) {
  return s[510] == 0x55 && s[511] == 0xAA && (s[0x1BE] == 0 || s[0x1BE] == 0x80);
}
bool isContainer(unsigned type) { return type == 0x05 || type == 0x0F; }
}  // namespace

std::vector<Part> partsOf(const SimulatedMachine& m, std::vector<unsigned>& unreadable) {
  std::vector<Part> parts;
  const auto* n =
      m.enumValues.count("COUNT") ? std::get_if<std::uint32_t>(&m.enumValues.at("COUNT")) : nullptr;
  // Numbers are tried past missing ones until the count of disks is found or 32 were missing.
  for (unsigned disk = 0, found = 0; n && *n < 0x80000000u && found < *n && disk - found < 32;
       ++disk) {
    if (!m.disks.count(disk)) continue;
    ++found;
    const SimulatedDisk& d = m.disks.at(disk);
    if (std::any_of(d.faults.begin(), d.faults.end(),
                    [](const Fault& f) { return f.on == FaultOn::Open && f.nth == 0; })) {
      unreadable.push_back(disk);
      continue;
    }
    const Sector mbr = d.sector(0);
    unsigned display = 0;
    unsigned primaries = 0;
    unsigned systems = 0;
    unsigned visits = 0;
    for (unsigned slot = 0; slot < 4; ++slot)
      primaries += field(mbr, 0x1CA + 16 * slot) && !isContainer(mbr[0x1C2 + 16 * slot]);
    std::set<std::uint64_t> read{0};  // a table sector is read once a disk; the MBR is never an EBR
    auto readAt = [&](std::uint64_t offset, Sector& s) {
      if (read.size() > 4096 || !read.insert(offset).second) return false;
      s = offset <= d.size - 512 ? d.sector(offset) : Sector{};  // zeros past the end, as read
      return true;
    };
    for (unsigned slot = 0; isTable(mbr) && slot < 4; ++slot) {
      const std::size_t e = 0x1BE + 16 * slot;
      if (!field(mbr, e + 12)) continue;
      const bool primary = !isContainer(mbr[e + 4]);
      parts.push_back({disk, primary ? std::to_string(++display) : "", primary ? ++systems : 0,
                       primary, 0, e + 4, field(mbr, e + 8) * 512ull, mbr[e + 4], mbr[e]});
      const std::uint64_t base = parts.back().start;
      Sector s{};
      std::uint64_t at = base;
      if (primary || !readAt(at, s) || !isTable(s)) continue;
      for (;;) {  // the chain: a link in slot 0 is followed at once; only a zero link ends it
        if (isTable(s) && isContainer(s[0x1C2]) && !readAt(at = base + field(s, 0x1C6) * 512ull, s))
          break;
        if (isTable(s)) {
          parts.push_back({disk, isContainer(s[0x1C2]) ? "" : std::to_string(++display),
                           primaries + ++visits, false, at, at + 0x1C2,
                           at + field(s, 0x1C6) * 512ull, s[0x1C2], s[0x1BE]});
        }
        const unsigned link = field(s, isContainer(s[0x1C2]) ? 0x1C6 : 0x1D6);
        if (!link || !readAt(at = base + link * 512ull, s)) break;
      }
    }
  }
  return parts;
}

void buildRandomMachine(Chooser& c, SimulatedMachine& m) {
  static const std::vector<unsigned> types{0x05, 0x0F, 0x07, 0x0B, 0x0C, 0x1B,
                                           0x1C, 0xBC, 0x00, 0x85, 0x17, 0xEE};
  static const std::vector<std::uint32_t> odd{63, 0, 1, 0x800000, 0xFFFFFFC0, 0x7FFFFF00};
  static const std::vector<std::string> bootLabels{"BOOT", "Boot x", "卷", ""};
  std::string letters = "CDEFGHIJKLMNOPQRSTUVWXYZ";
  const unsigned disks = 1 + c.below(3);
  for (unsigned n = 0; n < disks; ++n) {
    if (c.chance(4)) continue;  // a gap in the numbers, left by a disk removed
    SimulatedDisk& d = m.addDisk(n, c.chance(50) ? 1ull << 30 : 1ull << 42);
    if (c.chance(4)) {  // there, but it does not open: the program does not run as administrator
      d.faults = {{FaultOn::Open}};
      continue;
    }
    auto put = [&d](std::uint64_t at, const Sector& s) {
      if (at <= d.size - 512) d.put(at, s);
    };
    auto boot = [&] {
      return static_cast<std::uint8_t>(c.chance(75) ? 0 : c.chance(90) ? 0x80 : c.below(256));
    };
    std::vector<std::pair<std::uint64_t, std::uint32_t>> partitions;  // start byte, sectors
    Sector mbr = table({}, !c.chance(3));
    for (unsigned slot = 0; slot < 4; ++slot) {
      if (!c.chance(65)) continue;
      const unsigned type = c.oneOf(types);
      const std::uint32_t s = c.chance(75) ? 2048 * (1 + c.below(300)) : c.oneOf(odd),
                          count = c.chance(92) ? 2048 * (1 + c.below(100)) : 0;
      place(mbr, 0x1BE + 16 * slot,
            le(boot(), 4) + static_cast<char>(type) + le(0, 3) + le(s, 4) + le(count, 4));
      if (!isContainer(type)) partitions.push_back({s * 512ull, count});
      std::vector<std::uint32_t> links{0};
      for (unsigned k = 0, chain = isContainer(type) ? c.below(6) : 0; k < chain; ++k) {
        const bool link = c.chance(12);  // a link in slot 0, counted from the container's start
        const unsigned t = link                          ? (c.chance(60) ? 0x05 : 0x0F)
                           : isContainer(c.oneOf(types)) ? 0x07
                                                         : c.oneOf(types);
        const std::uint32_t rel = c.chance(85) ? 63 : c.oneOf(odd),
                            next = links.back() + 2048 * (1 + c.below(50));
        if (!link) partitions.push_back({(std::uint64_t{s} + links.back() + rel) * 512, 2048});
        put((std::uint64_t{s} + links.back()) * 512,
            table({{0, boot(), static_cast<std::uint8_t>(t), link ? c.oneOf(links) : rel, 2048},
                   {1, 0, 0x05,
                    k + 1 < chain  ? next
                    : c.chance(10) ? c.oneOf(links)
                                   : 0,
                    2048}},
                  c.chance(93)));
        links.push_back(next);
      }
    }
    put(0, mbr);
    for (const auto& [at, sectors] :
         partitions) {  // boot sectors for the scan; some mounted, tables inside out of reach
      if (!at || !c.chance(70)) continue;
      put(at, c.chance(70) ? fat32Boot(c.oneOf(bootLabels), 6 * c.chance(40)) : ntfsBoot());
      if (letters.empty() || !c.chance(70)) continue;
      const char letter = letters[c.below(static_cast<std::uint32_t>(letters.size()))];
      letters.erase(letters.find(letter), 1);
      m.letters[letter] = SimulatedVolume{n, at, sectors * 512ull};
    }
  }
  m.setDiskCount(disks + (c.chance(5) ? 1 : 0));
}

std::vector<std::string> randomCommand(Chooser& c, const SimulatedMachine& m) {
  static const std::vector<std::string> words{"/M", "/F", "/A", "/m", "/f", "/a", "/X"},
      flags{"1", "0", "yes"},
      ids{"07", "0B", "0c", "1C", "05", "0F", "ee", "7", "c", "G1", "007", "1b", "00"},
      numbers{"1", "2", "3", "4", "5", "01", "x"};
  std::vector<unsigned> unreadable;
  const std::vector<Part> parts = partsOf(m, unreadable);
  const Part* p = parts.empty() || c.chance(10) ? nullptr : &c.oneOf(parts);
  const std::string word = c.oneOf(words);
  const std::string w = upperAscii(word);
  const std::string type = p ? hex2(p->type) : "";
  auto id = [&] {
    return p && c.chance(60) ? (c.chance(80) ? type : type.substr(0, 1) + char(type[1] | 0x20))
                             : c.oneOf(ids);
  };
  const std::string disk = p && c.chance(90) ? std::to_string(p->disk + 1) : c.oneOf(numbers);
  const std::string number = p && !p->number.empty() && c.chance(90) ? p->number : c.oneOf(numbers);
  const std::string system =
      p && p->primary && c.chance(85) ? std::to_string(p->system) : c.oneOf(numbers);
  std::vector<std::string> args{word};
  if (w == "/M") args.insert(args.end(), {disk, number, id()});
  if (w == "/A")
    args.insert(args.end(), {c.chance(10) ? "0" + disk : disk, system, c.oneOf(flags)});
  if (w == "/F") args.insert(args.end(), {id(), c.oneOf(ids)});
  if (c.chance(3))
    args.push_back("extra");
  else if (args.size() > 1 && c.chance(3))
    args.pop_back();
  return args;
}

std::vector<std::string> writesWithoutFullRead(const std::vector<std::string>& log) {
  std::vector<std::string> problems;
  bool failed = false;  // a read on this handle came back failed or short
  std::optional<std::uint64_t> fullyRead;
  for (const std::string& line : log) {
    const std::optional<LoggedAccess> a = parseAccess(line);
    if (line.compare(0, 5, "open ") == 0) {
      failed = false;
      fullyRead.reset();
    } else if (a && a->op == "read") {
      failed |= a->bytes != 512;
      fullyRead = a->bytes == 512 ? std::optional<std::uint64_t>(a->offset) : std::nullopt;
    } else if (a && (failed || fullyRead != a->offset)) {
      problems.push_back(line + ": a write without a full read of its sector just before");
    }
  }
  return problems;
}

std::vector<std::string> checkBatchRun(const SimulatedMachine& before,
                                       const SimulatedMachine& after,
                                       const std::vector<std::string>& args, int status,
                                       bool faults) {
  std::vector<std::string> problems = writesWithoutFullRead(after.log);
  if (after.openHandles) problems.push_back("a handle left open");
  std::vector<unsigned> unreadable;
  const std::vector<Part> parts = partsOf(before, unreadable);
  auto expectStatus = [&](int expected) {
    if (status != expected)
      problems.push_back("exit status " + std::to_string(status) + ", not " +
                         std::to_string(expected));
  };
  auto refused = [&](int expected) {
    expectStatus(expected);
    if (after.contents() != before.contents() || !after.logged("label ").empty())
      problems.push_back("changed although refused");
    return problems;
  };
  auto notFound = [&](const std::string& disk) {  // the disk as text
    const bool named = std::any_of(unreadable.begin(), unreadable.end(),
                                   [&](unsigned u) { return std::to_string(u + 1) == disk; });
    return refused(named ? kUnreadable : kNoSuchPartition);
  };
  const std::string w = args.empty() ? "" : upperAscii(args[0]);
  if (args.size() != (w == "/M" || w == "/A" ? 4u : w == "/F" ? 3u : 0u)) return refused(kRefused);

  std::map<std::pair<unsigned, std::uint64_t>, char> writes;  // (disk, offset) -> the byte asked
  bool failure = false;
  auto writeType = [&](const Part& p, int type) {
    bool blocked = false;  // a table sector inside a mounted volume: Windows refuses the write
    for (const auto& [letter, v] : before.letters)
      blocked |= v.disk == p.disk && p.table < v.start + v.length && v.start < p.table + 512;
    if (type != p.type && blocked)
      failure = true;
    else if (type != p.type)
      writes[{p.disk, p.typeAt}] = static_cast<char>(type);
  };
  if (w == "/M") {  // by disk and list number, compared as text
    const int type = hexValue(args[3]);
    if (type < 0 || type == 0xEE) return refused(kRefused);
    const auto p = std::find_if(parts.begin(), parts.end(), [&](const Part& q) {
      return !q.number.empty() && std::to_string(q.disk + 1) == args[1] && q.number == args[2];
    });
    if (p == parts.end()) return notFound(args[1]);
    if (p->type == 0xEE) return refused(kRefused);
    writeType(*p, type);
  } else if (w == "/F") {  // every partition whose type text is the ID
    const int from = hexValue(args[1]);
    const int to = hexValue(args[2]);
    if (from < 0 || to < 0 || from == 0xEE || to == 0xEE) return refused(kRefused);
    for (const Part& p : parts)
      if (hex2(p.type) == upperAscii(args[1])) writeType(p, to);
  } else {  // "/A": the disk as a number (as strtoll reads it), the primary by its system number
    const long long disk = std::strtoll(args[1].c_str(), nullptr, 10) - 1;
    const auto p = std::find_if(parts.begin(), parts.end(), [&](const Part& q) {
      return q.primary && q.disk == disk && std::to_string(q.system) == args[2];
    });
    if (p == parts.end()) return notFound(std::to_string(disk + 1));
    if (p->type == 0xEE) return refused(kRefused);  // a protective entry never boots
    if ((args[3] == "1") != (p->boot == 0x80))
      writes[{p->disk, p->typeAt - 4}] = args[3] == "1" ? '\x80' : '\0';
  }

  // Each changed byte asked for; each change asked for made.
  for (const auto& [disk, offset] : differingBytes(before.contents(), after.contents())) {
    const auto asked = writes.find({disk, offset});
    if (asked == writes.end() || asked->second != after.disks.at(disk).bytes(offset, 1)[0]) {
      problems.push_back("disk " + std::to_string(disk) + " byte " + hexText(offset) +
                         " changed unasked");
    }
  }
  bool made = true;
  for (const auto& [at, byte] : writes)
    made &= after.disks.at(at.first).bytes(at.second, 1)[0] == byte;
  if (!faults || status != kFailed) {  // with faults, a reported failure excuses changes not made
    expectStatus(failure ? kFailed : w == "/F" && !unreadable.empty() ? kUnreadable : kDone);
    if (!made) problems.push_back("a change neither made nor reported");
  }
  return problems;
}
}  // namespace oracle
}  // namespace quenbolt
