// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/duplicates.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "catalogue/block_reader.h"
#include "catalogue/collation.h"
#include "catalogue/disc_filter.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/records.h"

namespace rondo {

namespace {

using FoldTable = std::array<unsigned char, 256>;

// Each code page 1250 byte lowered as the disc filter lowers letters, so
// that both places agree on what a letter's case is.
FoldTable MakeFoldTable() {
  FoldTable table{};
  for (std::size_t b = 0; b < table.size(); ++b) {
    const Cp1250Text folded = ToCp1250(FoldCase(ToUtf8(Cp1250Text(std::string(1, char(b))))));
    table[b] = folded.size() == 1 ? static_cast<unsigned char>(folded.bytes[0])
                                  : static_cast<unsigned char>(b);
  }
  return table;
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9u;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBu;
  x ^= x >> 31;
  return x;
}

std::uint64_t TimeBits(double time) {
  std::uint64_t bits;
  std::memcpy(&bits, &time, sizeof bits);
  return bits;
}

// What one file is compared by.
struct FileKey {
  std::string_view name;  // as stored
  std::uint32_t size = 0;
  double time = 0.0;
};

// The name is folded into a buffer first (the table's look-ups do not wait
// for each other) and hashed eight bytes at a time: a byte at a time, every
// byte would wait for the multiplication before it.
std::uint64_t KeyHash(const FoldTable& fold, DuplicateKey by, const FileKey& key) {
  std::array<unsigned char, 256 + 8> folded;
  const std::size_t length = std::min(key.name.size(), std::size_t{256});
  for (std::size_t i = 0; i < length; ++i)
    folded[i] = fold[static_cast<unsigned char>(key.name[i])];
  std::memset(folded.data() + length, 0, 8);
  std::uint64_t h = 0x9E3779B97F4A7C15u ^ length;
  for (std::size_t i = 0; i < length; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, folded.data() + i, sizeof word);
    h = (h ^ word) * 0xFF51AFD7ED558CCDu;
    h ^= h >> 29;
  }
  if (by != DuplicateKey::kName)
    h = Mix(h ^ key.size);
  if (by == DuplicateKey::kNameSizeTime)
    h = Mix(h ^ TimeBits(key.time));
  return Mix(h);
}

// The first pass's memory: per hash of a key, the disc it was first seen on
// or the mark that it was seen on another disc as well. Open addressing,
// one 8-byte word a slot: the hash's upper 40 bits, then 24 bits for the
// disc (0 empty, the first disc + 1, or all ones for the mark); at most
// 80 % full. Two keys whose upper 40 bits agree share a slot: that can only
// mark a key that is on one disc (the second pass sees through it), never
// miss one that is on two.
class SeenKeys {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  static constexpr std::uint32_t kMostDiscs = 0xFFFFFEu;

  SeenKeys() : slots_(std::size_t{1} << 12) {}

  // Notes the key on a disc (discs come in increasing order, fewer than
  // kMostDiscs). True when the key is now known on two discs or more;
  // firstDisc is then the disc it was seen on first, when this sighting was
  // the one that told (else kNone).
  bool See(std::uint64_t key, std::uint32_t disc, std::uint32_t& firstDisc) {
    firstDisc = kNone;
    std::uint64_t& slot = Find(key);
    const std::uint32_t seenOn = DiscField(slot);
    if (seenOn == kEmpty) {
      slot = (key & kPrintMask) | (disc + 1);
      if (++used_ * 10 > slots_.size() * 8)
        Grow();
      return false;
    }
    if (seenOn == kMarked)
      return true;
    if (seenOn == disc + 1)
      return false;
    firstDisc = seenOn - 1;
    slot |= kMarked;
    return true;
  }
  bool Contains(std::uint64_t key) { return DiscField(Find(key)) != kEmpty; }
  // Asks the memory for a key's slot ahead of See, so that the misses of a
  // batch of keys overlap instead of coming one after another.
  void Prefetch(std::uint64_t key) const {
#if defined(__GNUC__)
    __builtin_prefetch(&slots_[Home(key)], 1);
#else
    (void)key;
#endif
  }
  // The keys seen on two discs or more (their upper 40 bits, which is all
  // that See and Contains look at).
  std::vector<std::uint64_t> MarkedKeys() const {
    std::vector<std::uint64_t> keys;
    for (const std::uint64_t slot : slots_) {
      if (DiscField(slot) == kMarked)
        keys.push_back(slot & kPrintMask);
    }
    return keys;
  }

  std::uint64_t Keys() const {
    return used_;
  }
  std::uint64_t Bytes() const {
    return slots_.size() * sizeof(std::uint64_t);
  }

 private:
  static constexpr std::uint32_t kEmpty = 0;
  static constexpr std::uint32_t kMarked = 0xFFFFFFu;
  static constexpr std::uint64_t kPrintMask = ~std::uint64_t{kMarked};

  static std::uint32_t DiscField(std::uint64_t slot) {
    return static_cast<std::uint32_t>(slot & kMarked);
  }
  std::size_t Home(std::uint64_t key) const {
    return static_cast<std::size_t>(key >> 24) & (slots_.size() - 1);
  }
  std::uint64_t& Find(std::uint64_t key) {
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t print = key & kPrintMask;
    for (std::size_t i = Home(key);; i = (i + 1) & mask) {
      std::uint64_t& slot = slots_[i];
      if (DiscField(slot) == kEmpty || (slot & kPrintMask) == print)
        return slot;
    }
  }

  void Grow() {
    std::vector<std::uint64_t> old(slots_.size() * 2);
    old.swap(slots_);
    for (const std::uint64_t slot : old) {
      if (DiscField(slot) != kEmpty)
        Find(slot) = slot;
    }
  }

  std::vector<std::uint64_t> slots_;
  std::size_t used_ = 0;
};

// Every file of one disc's block in turn: visit(key, itemAt, folders) with
// folders the names of the enclosing directories from the root down (kept
// only when wanted). Returns the damage that ended the walk early.
template <typename Visit>
std::optional<ItemsDamage> WalkFiles(ByteStream& file, const EntryWalker& walker, bool keepFolders,
                                     DuplicateHost& host, Visit visit) {
  const std::uint64_t limit = walker.BlockLength();
  BlockReader block(file, walker.BlockStart(), limit, true);
  std::vector<std::string> stack(1);
  std::uint32_t sinceAsked = 0;
  while (block.Position() < limit) {
    if (++sinceAsked == 1u << 16) {
      sinceAsked = 0;
      if (!host.Busy())
        return std::nullopt;
    }
    const std::uint64_t itemAt = block.Position();
    const std::uint8_t* prefix = block.Need(kItemPrefixSize);
    if (prefix == nullptr)
      return ItemsDamage{itemAt, false, limit};
    const ItemPrefix p{prefix[0], prefix[1], prefix[2]};
    block.Skip(kItemPrefixSize);
    // The items end with the block, or with an end mark that is its last
    // three bytes; an end mark before that hides what follows it.
    if (p.IsEndMark()) {
      if (block.Position() != limit)
        return ItemsDamage{itemAt, true, limit};
      break;
    }
    const bool directory = p.IsDirectory();
    const std::size_t length =
        (directory ? kDirRecordFixed : kFileRecordFixed) + p.NameLength + p.CommentLength;
    const std::uint8_t* r = block.Need(length);
    if (r == nullptr)
      return ItemsDamage{itemAt, false, limit};
    std::string_view name(reinterpret_cast<const char*>(r), p.NameLength);
    name = name.substr(0, name.find('\0'));
    const std::uint8_t* q = r + p.NameLength;
    const std::uint32_t size = ReadLe32(q);
    q += 8 + p.CommentLength;
    const double time = ReadLeDouble(q);
    const std::uint8_t level = q[8];
    block.Skip(length);
    if (keepFolders) {
      // The enclosing directories, one element per level, as the search
      // keeps them.
      const std::size_t n = stack.size();
      if (n + 1 == level) {
        stack.emplace_back();
        if (directory)
          stack.back() = name;
      } else if (directory && n == level && n > 0) {
        stack.back() = name;
      } else if (n > level) {
        stack.resize(level);
        if (directory && !stack.empty())
          stack.back() = name;
      }
    }
    if (!directory)
      visit(FileKey{name, size, time}, itemAt, stack);
  }
  return std::nullopt;
}

// Walks the discs that the options let through, calling each(header,
// ordinal) with the walker standing at the disc; false when stopped.
template <typename Each>
bool WalkDiscs(ByteStream& file, DuplicateHost& host, int pass, const DuplicateOptions& o,
               Each each) {
  const bool allDiscs = o.groups.empty() || o.groups.front() == kAllGroups;
  std::vector<Cp1250Text> groups;
  for (const auto& g : o.groups)
    groups.push_back(ToCp1250(g));
  EntryWalker walker(file);
  CdHeader h;
  std::uint32_t ordinal = 0;
  while (walker.Next(h)) {
    host.Progress(pass, walker.EntryStart(), file.Size());
    if (!host.Busy())
      return false;
    if (h.IsMultigroup() || (!allDiscs && !DiscInChosenGroups(h, groups, false)))
      continue;
    if (ordinal >= SeenKeys::kMostDiscs)
      throw std::runtime_error("Databáze má více CD, než umí hledání duplicit rozlišit (" +
                               std::to_string(SeenKeys::kMostDiscs) + ").");
    if (walker.BlockLength() > 0)
      each(walker, h, ordinal);
    ++ordinal;
  }
  host.Progress(pass, file.Size(), file.Size());
  return host.Busy();
}

struct Candidate {
  std::string folded;  // the name as compared
  std::uint64_t time = 0;
};

}  // namespace

void DuplicateReport::Clear() {
  discs_.clear();
  locations_.assign(1, std::string());
  copies_.clear();
  groups_.clear();
  keys = tableBytes = 0;
  complete = false;
}

std::uint32_t DuplicateReport::AddDisc(Disc disc) {
  discs_.push_back(std::move(disc));
  return static_cast<std::uint32_t>(discs_.size() - 1);
}

std::uint32_t DuplicateReport::InternLocation(std::string location) {
  if (location.empty())
    return 0;
  if (locations_.back() != location)
    locations_.push_back(std::move(location));
  return static_cast<std::uint32_t>(locations_.size() - 1);
}

std::string DuplicateReport::Name(const Copy& copy) const {
  return ToUtf8(Cp1250Text(copy.name));
}

// Folders are kept with a zero byte between them, which no name holds.
std::string DuplicateReport::Location(const Copy& copy) const {
  std::string location = locations_[copy.location];
  std::replace(location.begin(), location.end(), '\0', '\\');
  return ToUtf8(Cp1250Text(location));
}

SearchResults::Place DuplicateReport::PlaceOf(const Copy& copy) const {
  SearchResults::Place place;
  place.kind = SearchRowKind::kFile;
  place.serial = ToUtf8(discs_[copy.disc].serial);
  place.disc = ToUtf8(discs_[copy.disc].description);
  place.name = Name(copy);
  place.at = copy.at;
  const std::string& location = locations_[copy.location];
  if (!location.empty()) {
    std::size_t from = 0;
    for (;;) {
      const std::size_t end = location.find('\0', from);
      place.folders.push_back(ToUtf8(Cp1250Text(location.substr(from, end - from))));
      if (end == std::string::npos)
        break;
      from = end + 1;
    }
  }
  return place;
}

void FindDuplicates(ByteStream& file, DuplicateHost& host, DuplicateReport& report,
                    std::vector<std::string>& damaged) {
  report.Clear();
  const DuplicateOptions o = host.Options();
  const FoldTable fold = MakeFoldTable();
  const auto compared = [&](const FileKey& key) { return key.size >= o.minSize; };

  // Pass 1: which keys are on two discs or more, and which discs hold them.
  // A disc's keys are hashed first and noted in a batch, each slot asked
  // for a few keys ahead.
  SeenKeys seen;
  std::vector<bool> holdsCandidates;
  std::vector<std::uint64_t> batch;
  const bool passed = WalkDiscs(
      file, host, 1, o, [&](const EntryWalker& walker, const CdHeader& h, std::uint32_t disc) {
        holdsCandidates.resize(disc + 1, false);
        batch.clear();
        const auto damage =
            WalkFiles(file, walker, false, host, [&](const FileKey& key, auto, auto&) {
              if (compared(key))
                batch.push_back(KeyHash(fold, o.by, key) & o.hashMask);
            });
        constexpr std::size_t kAhead = 8;
        for (std::size_t i = 0; i < std::min(kAhead, batch.size()); ++i)
          seen.Prefetch(batch[i]);
        for (std::size_t i = 0; i < batch.size(); ++i) {
          if (i + kAhead < batch.size())
            seen.Prefetch(batch[i + kAhead]);
          std::uint32_t first = SeenKeys::kNone;
          if (seen.See(batch[i], disc, first)) {
            holdsCandidates[disc] = true;
            if (first != SeenKeys::kNone)
              holdsCandidates[first] = true;
          }
        }
        if (damage) {
          damaged.push_back(
              DamagedItemsText(*damage, ToUtf8(h.Description.Text()), ToUtf8(h.Serial.Text())) +
              " Položky před poškozením byly porovnány.");
        }
      });
  report.keys = seen.Keys();
  report.tableBytes = seen.Bytes();
  if (!passed)
    return;
  // The second pass asks only about the marked keys: a table of them alone
  // stays in the processor's caches, and the large one can go.
  SeenKeys marked;
  for (const std::uint64_t key : seen.MarkedKeys()) {
    std::uint32_t first = SeenKeys::kNone;
    marked.See(key, 0, first);
  }
  seen = SeenKeys();

  // Pass 2: the copies of the marked keys, from the discs that hold them.
  std::vector<Candidate> candidates;
  std::vector<DuplicateReport::Copy>& copies = report.Copies();
  std::string folded;
  std::string location;
  if (!WalkDiscs(
          file, host, 2, o, [&](const EntryWalker& walker, const CdHeader& h, std::uint32_t disc) {
            if (disc >= holdsCandidates.size() || !holdsCandidates[disc])
              return;
            std::optional<std::uint32_t> index;
            WalkFiles(
                file, walker, true, host,
                [&](const FileKey& key, std::uint64_t at, const std::vector<std::string>& stack) {
                  if (!compared(key) || !marked.Contains(KeyHash(fold, o.by, key) & o.hashMask))
                    return;
                  if (!index)
                    index = report.AddDisc({h.Serial.Text(), h.Description.Text()});
                  location.clear();
                  for (std::size_t i = 0; i + 1 < stack.size(); ++i) {
                    if (i > 0)
                      location += '\0';
                    location += stack[i];
                  }
                  folded.assign(key.name);
                  for (char& c : folded)
                    c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
                  candidates.push_back({folded, TimeBits(key.time)});
                  copies.push_back({*index, report.InternLocation(location),
                                    static_cast<std::uint32_t>(at), key.size, key.time,
                                    std::string(key.name)});
                });
          })) {
    report.Copies().clear();
    return;
  }

  // The groups, from the real keys; the copies in catalogue order within.
  std::vector<std::uint32_t> order(copies.size());
  std::iota(order.begin(), order.end(), 0u);
  const auto sameKey = [&](std::uint32_t a, std::uint32_t b) {
    return candidates[a].folded == candidates[b].folded &&
           (o.by == DuplicateKey::kName || copies[a].size == copies[b].size) &&
           (o.by != DuplicateKey::kNameSizeTime || candidates[a].time == candidates[b].time);
  };
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (candidates[a].folded != candidates[b].folded)
      return candidates[a].folded < candidates[b].folded;
    if (o.by != DuplicateKey::kName && copies[a].size != copies[b].size)
      return copies[a].size < copies[b].size;
    if (o.by == DuplicateKey::kNameSizeTime && candidates[a].time != candidates[b].time)
      return candidates[a].time < candidates[b].time;
    return a < b;
  });
  std::vector<DuplicateReport::Copy> kept;
  std::vector<DuplicateReport::Group> groups;
  for (std::size_t from = 0; from < order.size();) {
    std::size_t to = from + 1;
    std::uint32_t discs = 1;
    std::uint32_t size = copies[order[from]].size;
    for (; to < order.size() && sameKey(order[from], order[to]); ++to) {
      if (copies[order[to]].disc != copies[order[to - 1]].disc)
        ++discs;
      size = std::max(size, copies[order[to]].size);
    }
    if (discs >= 2) {
      groups.push_back({static_cast<std::uint32_t>(kept.size()),
                        static_cast<std::uint32_t>(to - from), discs, size});
      for (std::size_t i = from; i < to; ++i)
        kept.push_back(std::move(copies[order[i]]));
    }
    from = to;
  }
  copies = std::move(kept);

  std::vector<std::string> names(groups.size());
  for (std::size_t i = 0; i < groups.size(); ++i)
    names[i] = NaturalCollationKey(ToUtf8(Cp1250Text(copies[groups[i].firstCopy].name)));
  std::vector<std::size_t> rank(groups.size());
  std::iota(rank.begin(), rank.end(), std::size_t{0});
  std::sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) {
    const auto& x = groups[a];
    const auto& y = groups[b];
    if (x.Wasted() != y.Wasted())
      return x.Wasted() > y.Wasted();
    if (x.discs != y.discs)
      return x.discs > y.discs;
    if (names[a] != names[b])
      return names[a] < names[b];
    if (x.size != y.size)
      return x.size > y.size;
    const double tx = copies[x.firstCopy].time;
    const double ty = copies[y.firstCopy].time;
    if (tx != ty)
      return tx < ty;
    return a < b;
  });
  std::vector<DuplicateReport::Group> sorted;
  sorted.reserve(groups.size());
  for (std::size_t i : rank)
    sorted.push_back(groups[i]);
  report.SetGroups(std::move(sorted));
  report.complete = true;
}

void Engine::FindDuplicateFiles(FileStream& file) {
  DuplicateHost* host = DuplicateSearch;
  if (host == nullptr)
    return;
  WalkNamingDamage(
      [&](std::vector<std::string>& damaged) { FindDuplicates(file, *host, Duplicates, damaged); });
}

}  // namespace rondo
