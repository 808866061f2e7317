// SPDX-License-Identifier: GPL-3.0-or-later
// Engine operation 10: the content search, and the rows it finds.
#include "catalogue/search.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "catalogue/block_reader.h"
#include "catalogue/collation.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/wild_match.h"
#include "shell/sizes.h"

namespace rondo {

namespace {

std::string CommentPart(const std::string& comment) {
  const std::size_t caret = comment.find('^');
  return caret == std::string::npos ? std::string() : comment.substr(0, caret);
}

// The options of the window as last read, the pattern compiled.
struct SearchOptions {
  std::uint64_t version = ~std::uint64_t{0};
  std::optional<CompiledPattern> pattern;
  SearchKind kind = SearchKind::kAll;
  bool matchCase = false;
  std::optional<int> depth;
  bool directoryGroups = true;
  bool cache = true;
  bool allDiscs = true;
  std::vector<Cp1250Text> groups;  // lower-cased unless matchCase

  void Refresh(SearchHost& host) {
    const std::uint64_t now = host.OptionsVersion();
    if (now == version && pattern)
      return;
    version = now;
    matchCase = host.MatchCase();
    pattern.emplace(ToCp1250(host.Pattern()).bytes, '*', '?', matchCase);
    kind = host.Kind();
    depth = host.DepthLimit();
    directoryGroups = host.UseDirectoryGroups();
    cache = host.UseCache();
    const std::vector<std::string> chosen = host.ChosenGroups();
    allDiscs = chosen.empty() || chosen.front() == kAllGroups;
    groups.clear();
    for (const auto& g : chosen)
      groups.push_back(ToCp1250(g));
  }
};

bool IsLent(const CdHeader& h) {
  const Cp1250Text lending = h.Lending.Text();
  return !lending.empty() && lending.bytes.find(kReturnedMark) == std::string::npos;
}

// Whether a disc passes the chosen groups: "Vše" passes everything.
bool DiscPasses(const SearchOptions& o, const CdHeader& h) {
  return o.allDiscs || DiscInChosenGroups(h, o.groups, o.matchCase);
}

bool DirectoryPasses(const SearchOptions& o, const TDynamicArray& comment) {
  const std::string text = CharArrayToStr(comment).bytes;
  const std::size_t caret = text.find('^');
  const std::string part = caret == std::string::npos ? text : text.substr(caret + 1);
  if (part.empty() || o.allDiscs)
    return true;
  return std::any_of(o.groups.begin(), o.groups.end(),
                     [&](const Cp1250Text& g) { return InGroupList(comment, g); });
}

}  // namespace

std::string WrapPattern(const std::string& pattern) {
  if (!pattern.empty() && (pattern.front() == '*' || pattern.back() == '*'))
    return pattern;
  return "*" + pattern + "*";
}

// "Půjčené" and "Nepůjčené" mean lent and not lent, as in the disc list;
// any other entry passes a disc whose groups text contains it.
bool DiscInChosenGroups(const CdHeader& h, const std::vector<Cp1250Text>& chosen, bool matchCase) {
  const std::string groups = matchCase ? h.Groups.Text().bytes : AsciiLower(h.Groups.Text().bytes);
  for (const auto& g : chosen) {
    if (g == ToCp1250(kGroupLent)) {
      if (IsLent(h))
        return true;
    } else if (g == ToCp1250(kGroupNotLent)) {
      if (!IsLent(h))
        return true;
    } else {
      const std::string wanted = matchCase ? g.bytes : AsciiLower(g.bytes);
      if (groups.find(wanted) != std::string::npos)
        return true;
    }
  }
  return false;
}

void SearchResults::Clear() {
  discs_.clear();
  locations_.assign(1, std::string());
  rows_.clear();
  sorted_ = false;
}

std::uint32_t SearchResults::AddDisc(Disc disc) {
  discs_.push_back(std::move(disc));
  return static_cast<std::uint32_t>(discs_.size() - 1);
}

std::uint32_t SearchResults::InternLocation(std::string location) {
  if (location.empty())
    return 0;
  if (locations_.back() != location)
    locations_.push_back(std::move(location));
  return static_cast<std::uint32_t>(locations_.size() - 1);
}

// Locations are kept with a zero byte between the folders, which no name
// holds; "\\" joins them for the user, as a name on the disc may hold "\\".
std::string SearchResults::Location(std::size_t row) const {
  std::string location = locations_[rows_[row].location];
  std::replace(location.begin(), location.end(), '\0', '\\');
  return ToUtf8(Cp1250Text(location));
}

SearchResults::Place SearchResults::PlaceOf(std::size_t row) const {
  const Row& r = rows_[row];
  const Disc& d = discs_[r.disc];
  Place place;
  place.kind = r.kind;
  place.serial = ToUtf8(d.serial);
  place.disc = ToUtf8(d.description);
  place.multigroup = d.icon == kMultigroupIconIndex;
  place.name = r.kind == SearchRowKind::kDisc ? place.disc : ToUtf8(Cp1250Text(r.name));
  place.at = r.at;
  const std::string& location = locations_[r.location];
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

std::vector<std::size_t> SearchResults::Sort(std::size_t column, bool descending) {
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (column >= kSearchColumnCount)
    return order;
  sortColumn_ = column;
  descending_ = descending;
  sorted_ = true;
  const std::size_t n = rows_.size();
  const bool byValue = column == kSearchSize || column == kSearchTime || column == kSearchLendDate;
  std::vector<double> values;
  std::vector<std::string> keys;
  if (byValue) {
    values.resize(n, kNoValue);
    for (std::size_t i = 0; i < n; ++i) {
      const Row& r = rows_[i];
      const Disc& d = discs_[r.disc];
      if (column == kSearchLendDate) {
        if (r.kind != SearchRowKind::kDisc && d.lendDate != 0.0)
          values[i] = d.lendDate;
      } else if (r.kind != SearchRowKind::kDisc) {
        values[i] = column == kSearchSize ? static_cast<double>(r.size) : r.time;
      }
    }
  } else {
    // The texts of a disc's columns are the same for all its rows: one key
    // per disc (and per location) is enough.
    std::vector<std::string> discKeys(discs_.size());
    std::vector<bool> discDone(discs_.size(), false);
    keys.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      const Row& r = rows_[i];
      const Disc& d = discs_[r.disc];
      const bool discRow = r.kind == SearchRowKind::kDisc;
      switch (column) {
        case kSearchName:
          keys[i] =
              NaturalCollationKey(AsciiLower(ToUtf8(discRow ? d.description : Cp1250Text(r.name))));
          break;
        case kSearchAttributes:
          if (!discRow)
            keys[i] = AttributeLetters(r.attributes);
          break;
        case kSearchComment:
          if (!discRow)
            keys[i] = NaturalCollationKey(AsciiLower(ToUtf8(Cp1250Text(CommentPart(r.comment)))));
          break;
        case kSearchLocation:
          if (!discRow)
            keys[i] = NaturalCollationKey(AsciiLower(Location(i)));
          break;
        default: {
          if (discRow)
            break;
          if (!discDone[r.disc]) {
            const Cp1250Text& text = column == kSearchDisc      ? d.description
                                     : column == kSearchLending ? d.lending
                                                                : d.volumeLabel;
            discKeys[r.disc] = NaturalCollationKey(AsciiLower(ToUtf8(text)));
            discDone[r.disc] = true;
          }
          keys[i] = discKeys[r.disc];
          break;
        }
      }
    }
  }
  const auto less = [&](std::size_t a, std::size_t b) {
    return byValue ? values[a] < values[b] : keys[a] < keys[b];
  };
  if (descending) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return less(b, a); });
  } else {
    std::stable_sort(order.begin(), order.end(), less);
  }
  std::vector<Row> sorted;
  sorted.reserve(n);
  for (std::size_t i : order)
    sorted.push_back(std::move(rows_[i]));
  rows_ = std::move(sorted);
  return order;
}

std::vector<std::size_t> SearchResults::ClickColumn(std::size_t column) {
  return Sort(column, sorted_ && column == sortColumn_ && !descending_);
}

int SearchResults::Icon(std::size_t row) const {
  const Row& r = rows_[row];
  switch (r.kind) {
    case SearchRowKind::kDisc:
      return discs_[r.disc].icon;
    case SearchRowKind::kDirectory:
      return 1;
    default:
      return -1;
  }
}

std::string SearchResults::Cell(std::size_t row, std::size_t column, const DateTimeFormat& dates,
                                std::string_view decimalPoint) const {
  const Row& r = rows_[row];
  const Disc& d = discs_[r.disc];
  if (r.kind == SearchRowKind::kDisc) {
    return column == kSearchName ? ToUtf8(d.description) : std::string();
  }
  switch (column) {
    case kSearchName:
      return ToUtf8(Cp1250Text(r.name));
    case kSearchSize:
      return SizeToText(r.size, decimalPoint);
    case kSearchAttributes:
      return AttributeLetters(r.attributes);
    case kSearchTime:
      return DateTimeText(r.time, dates);
    case kSearchComment:
      return ToUtf8(Cp1250Text(CommentPart(r.comment)));
    case kSearchLocation:
      return Location(row);
    case kSearchDisc:
      return ToUtf8(d.description);
    case kSearchLending:
      return ToUtf8(d.lending);
    case kSearchLendDate:
      return d.lendDate == 0.0 ? std::string() : DateTimeText(d.lendDate, dates);
    case kSearchVolumeLabel:
      return ToUtf8(d.volumeLabel);
    default:
      return {};
  }
}

std::string SearchResults::ExportLine(std::size_t row) const {
  const Row& r = rows_[row];
  const std::string name = r.kind == SearchRowKind::kDisc ? ToUtf8(discs_[r.disc].description)
                                                          : ToUtf8(Cp1250Text(r.name));
  const std::string location = Location(row);
  return location.empty() ? "\\" + name : "\\" + location + "\\" + name;
}

namespace {

// Whether the text every match must contain occurs anywhere in a block,
// read a window at a time; each window repeats the last bytes of the one
// before, so that no occurrence is cut in two.
bool BlockHoldsText(ByteStream& file, std::uint64_t start, std::uint64_t length,
                    const CompiledPattern& pattern) {
  BlockReader windows(file, start, length, false);
  const std::size_t overlap = pattern.RequiredText().size() - 1;
  for (std::uint64_t at = 0;;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(BlockReader::kWindow, length - at));
    const std::uint8_t* bytes = windows.Need(n);
    if (pattern.Find(std::string_view(reinterpret_cast<const char*>(bytes), n)) !=
        std::string_view::npos) {
      return true;
    }
    if (at + n >= length)
      return false;
    const std::size_t step = n > overlap ? n - overlap : n;
    windows.Skip(step);
    at += step;
  }
}

// Operation 10 proper: every disc in turn, the damaged ones named in damaged.
void SearchDiscs(FileStream& file, SearchHost& search, SearchResults& found,
                 std::vector<std::string>& damaged) {
  SearchHost* host = &search;
  SearchOptions o;
  EntryWalker walker(file);
  CdHeader h;
  const auto reportDamage = [&](const ItemsDamage& damage) {
    damaged.push_back(
        DamagedItemsText(damage, ToUtf8(h.Description.Text()), ToUtf8(h.Serial.Text())) +
        " Položky před poškozením byly prohledány.");
  };
  std::vector<std::string> stack;
  while (walker.Next(h)) {
    host->DiscStarted("---", 0);
    if (!host->Busy())
      return;
    o.Refresh(*host);
    if (!DiscPasses(o, h))
      continue;
    host->DiscPassed();
    host->DiscStarted(ToUtf8(h.Description.Text()), h.BlockSize);

    std::optional<std::uint32_t> discIndex;
    const auto addRow = [&](SearchResults::Row row) {
      if (!discIndex) {
        discIndex = found.AddDisc({h.Serial.Text(), h.Description.Text(), h.Lending.Text(),
                                   h.LendDate, h.VolumeLabel.Text(),
                                   h.IsMultigroup() ? kMultigroupIconIndex
                                   : h.IsAudioCd()  ? kAudioCdIconIndex
                                                    : kDiscIconIndex});
      }
      row.disc = *discIndex;
      found.Add(std::move(row));
      host->RowsAdded();
    };

    if (o.kind == SearchKind::kAll && o.pattern->Matches(h.Description.Text().bytes)) {
      addRow({.kind = SearchRowKind::kDisc});
    }
    const std::uint64_t limit = walker.BlockLength();
    if (h.IsMultigroup() || limit == 0)
      continue;
    if (std::uint32_t{h.FileCount} + h.DirCount == 0)
      continue;

    BlockReader block(file, walker.BlockStart(), limit, o.cache);
    // Most discs hold no name with the searched text at all: one scan of
    // the block tells, and their records need not be read. Damage inside
    // such a block is not looked for: whatever the items are, none of them
    // can hold a match, so no hit is lost to it (and following the lengths
    // would cost as much again as the scan). A block too large to be held
    // whole is scanned a window at a time by the same rule, so that whether
    // a damaged disc is named never depends on how its block is read.
    std::optional<std::string_view> whole;
    // For "*text*" the places where the text occurs in the block decide
    // which names match: the next one at or after the name being read is
    // kept, and names before it are not looked at.
    std::size_t nextHit = 0;
    std::uint64_t hitsFor = o.version;
    if (!o.pattern->RequiredText().empty()) {
      whole = block.WholeBlock();
      if (whole)
        nextHit = o.pattern->Find(*whole);
      if (whole ? nextHit == std::string_view::npos
                : !BlockHoldsText(file, walker.BlockStart(), limit, *o.pattern)) {
        host->RecordRead(limit);
        continue;
      }
    }
    const auto nameMatches = [&](std::string_view name, std::size_t at) {
      const std::size_t n = o.pattern->ContainedText().size();
      if (n == 0 || !whole)
        return o.pattern->Matches(name);
      if (hitsFor != o.version || (nextHit != std::string_view::npos && nextHit < at)) {
        nextHit = o.pattern->Find(*whole, at);
        hitsFor = o.version;
      }
      return nextHit != std::string_view::npos && nextHit + n <= at + name.size();
    };
    stack.assign(1, std::string());
    TDynamicArray comment;
    while (block.Position() < limit) {
      if (!host->Busy())
        return;
      host->RecordRead(block.Position());
      o.Refresh(*host);
      const std::uint64_t itemAt = block.Position();
      const std::uint8_t* prefix = block.Need(kItemPrefixSize);
      if (prefix == nullptr) {
        reportDamage({itemAt, false, limit});
        break;
      }
      const ItemPrefix p{prefix[0], prefix[1], prefix[2]};
      block.Skip(kItemPrefixSize);
      // The items end with the block, or with an end mark that is its last
      // three bytes; an end mark before that hides what follows it.
      if (p.IsEndMark()) {
        if (block.Position() != limit)
          reportDamage({itemAt, true, limit});
        break;
      }
      const bool directory = p.IsDirectory();
      const std::size_t length =
          (directory ? kDirRecordFixed : kFileRecordFixed) + p.NameLength + p.CommentLength;
      const std::uint8_t* r = block.Need(length);
      if (r == nullptr) {
        reportDamage({itemAt, false, limit});
        break;
      }
      // A name ends early at a zero byte, as every stored text does.
      std::string_view itemName(reinterpret_cast<const char*>(r), p.NameLength);
      itemName = itemName.substr(0, itemName.find('\0'));
      const std::size_t nameAt = static_cast<std::size_t>(itemAt) + kItemPrefixSize;
      const std::uint8_t* q = r + p.NameLength;
      const std::uint32_t size = ReadLe32(q);
      const std::uint32_t attributes = ReadLe32(q + 4);
      q += 8;
      const std::uint8_t* commentAt = q;
      q += p.CommentLength;
      const double time = ReadLeDouble(q);
      const std::uint8_t level = q[8];
      const std::uint32_t subtree = directory ? ReadLe32(q + 9) : 0;
      block.Skip(length);

      // The enclosing directories, one element per level.
      const std::size_t n = stack.size();
      if (n + 1 == level) {
        stack.emplace_back();
        if (directory)
          stack.back() = itemName;
      } else if (directory && n == level && n > 0) {
        stack.back() = itemName;
      } else if (n > level) {
        stack.resize(level);
        if (directory && !stack.empty())
          stack.back() = itemName;
      }

      const auto makeRow = [&](SearchRowKind kind) {
        std::string location;
        for (std::size_t i = 0; i + 1 < stack.size(); ++i) {
          if (i > 0)
            location += '\0';
          location += stack[i];
        }
        SearchResults::Row row;
        row.kind = kind;
        row.location = found.InternLocation(std::move(location));
        row.size = size;
        row.attributes = attributes;
        row.at = static_cast<std::uint32_t>(itemAt);
        row.time = time;
        row.name = std::string(itemName);
        comment.chars.assign(reinterpret_cast<const char*>(commentAt), p.CommentLength);
        row.comment = CharArrayToStr(comment).bytes;
        addRow(std::move(row));
      };

      if (directory) {
        const bool tooDeep = o.depth && *o.depth <= level;
        bool skip = tooDeep;
        if (!skip && o.directoryGroups && p.CommentLength > 0) {
          comment.chars.assign(reinterpret_cast<const char*>(commentAt), p.CommentLength);
          skip = !DirectoryPasses(o, comment);
        }
        // Only a directory with bytes below it and a computed length is
        // stepped over; otherwise its contents are searched.
        if (skip && size != 0 && subtree != 0) {
          if (block.Position() + subtree > limit) {
            damaged.push_back("Databázový soubor je poškozený: obsah adresáře v bloku CD „" +
                              ToUtf8(h.Description.Text()) + "“ (" + ToUtf8(h.Serial.Text()) +
                              ") sahá za konec bloku (pozice " + std::to_string(itemAt) +
                              " v bloku o délce " + std::to_string(limit) +
                              " B). Položky před poškozením byly prohledány.");
            break;
          }
          block.Skip(subtree);
        }
        if (o.kind != SearchKind::kFiles && nameMatches(itemName, nameAt)) {
          makeRow(SearchRowKind::kDirectory);
        }
      } else if (o.kind != SearchKind::kDirectories && nameMatches(itemName, nameAt)) {
        makeRow(SearchRowKind::kFile);
      }
    }
  }
}

}  // namespace

void Engine::SearchContents(FileStream& file) {
  SearchHost* host = Search;
  if (host == nullptr)
    return;
  WalkNamingDamage(
      [&](std::vector<std::string>& damaged) { SearchDiscs(file, *host, Found, damaged); });
}

}  // namespace rondo
