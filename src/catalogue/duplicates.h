// SPDX-License-Identifier: GPL-3.0-or-later
// Files stored on more than one disc: the duplicates window and the command
// "duplicates" ask for them with the same options and show the same groups.
//
// Names are compared without regard to letter case, for every letter code
// page 1250 holds ("ŽLUŤ.TXT" is "žluť.txt"), as the Windows file systems
// most discs carry compare them; diacritics count ("Zlut.txt" is another
// name). A name ends at a zero byte, as every stored text does.
//
// A group is one name (with the size, or the size and the time, when they
// are compared too) found on at least two different discs. Each disc entry
// counts as its own disc, multigroups hold no files and are passed over,
// and directories are not compared. A second copy on the same disc does not
// make a group, but once a group spans discs it lists every copy, the ones
// beside each other on one disc too.
//
// The groups come sorted by the space the extra discs' copies take, size x
// (discs - 1), largest first; ties by the number of discs (more first), then
// by name in the user's collation, then by size (larger first), then by
// time. A group's copies are in catalogue order (disc after disc, each disc
// from its root down).
//
// Two passes over the catalogue: the first reads every disc block in turn
// and keeps, per 64-bit hash of the compared key, only the first disc it was
// seen on or a mark that it was seen on another disc, so memory grows with
// the number of different keys, not with the catalogue. The second reads
// again only the discs that hold a marked key and collects those copies
// with their folders; the groups are then made from the real keys, so two
// keys that share a hash never make a false group.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/search.h"
#include "shell/text.h"

namespace rondo {

class ByteStream;

// What makes two files the same.
enum class DuplicateKey { kName, kNameSize, kNameSizeTime };

struct DuplicateOptions {
  DuplicateKey by = DuplicateKey::kNameSize;
  // Smaller files are not compared at all.
  std::uint64_t minSize = 0;
  // The groups of discs to compare (UTF-8), as the search chooses them:
  // "Vše" (or none) is every disc.
  std::vector<std::string> groups{std::string(kAllGroups)};
  // The bits of each key's hash that count. Tests clear them all, so that
  // every key shares one hash, to see that this never makes a false group.
  std::uint64_t hashMask = ~std::uint64_t{0};
};

// What the duplicates search asks of its window (or of the command line).
class DuplicateHost {
 public:
  virtual ~DuplicateHost() = default;

  // Read once, when the search begins.
  virtual DuplicateOptions Options() = 0;
  // False once "Zastavit" was pressed; the search ends with no groups.
  virtual bool Busy() { return true; }
  // Progress between discs: pass 1 or 2, the bytes of the catalogue behind
  // the pass, and the catalogue's size.
  virtual void Progress(int /*pass*/, std::uint64_t /*position*/, std::uint64_t /*total*/) {}
};

// A host whose options are plain values: the command line and the tests.
class FixedDuplicateHost : public DuplicateHost {
 public:
  DuplicateOptions Options() override { return options; }
  DuplicateOptions options;
};

class DuplicateReport {
 public:
  struct Disc {
    Cp1250Text serial;
    Cp1250Text description;
  };
  struct Copy {
    std::uint32_t disc = 0;      // index into the report's discs
    std::uint32_t location = 0;  // its folders, as the search keeps them
    std::uint32_t at = 0;        // the item's place in its disc's block
    std::uint32_t size = 0;
    double time = 0.0;
    std::string name;  // code page 1250, as stored
  };
  struct Group {
    std::uint32_t firstCopy = 0;
    std::uint32_t copies = 0;
    std::uint32_t discs = 0;  // the different discs among the copies
    std::uint32_t size = 0;   // the largest copy's size
    // The space the copies on the other discs take: size x (discs - 1).
    std::uint64_t Wasted() const { return std::uint64_t{size} * (discs - 1); }
  };

  void Clear();
  const std::vector<Group>& Groups() const { return groups_; }
  const Copy& CopyAt(std::size_t index) const { return copies_[index]; }
  const Copy& CopyOf(const Group& group, std::size_t i) const {
    return copies_[group.firstCopy + i];
  }
  const Disc& DiscOf(const Copy& copy) const { return discs_[copy.disc]; }

  // UTF-8 texts of a copy: its name, and its folders joined by "\" as the
  // search's location column shows them.
  std::string Name(const Copy& copy) const;
  std::string Location(const Copy& copy) const;
  // Where a copy is, to show it in its folder as a search hit is shown.
  SearchResults::Place PlaceOf(const Copy& copy) const;

  // The keys the first pass told apart (what its memory grew with) and the
  // bytes its table took.
  std::uint64_t keys = 0;
  std::uint64_t tableBytes = 0;
  // False when the search was stopped.
  bool complete = false;

  // Used while searching.
  std::uint32_t AddDisc(Disc disc);
  std::uint32_t InternLocation(std::string location);
  std::vector<Copy>& Copies() { return copies_; }
  void SetGroups(std::vector<Group> groups) { groups_ = std::move(groups); }

 private:
  std::vector<Disc> discs_;
  std::vector<std::string> locations_{std::string()};
  std::vector<Copy> copies_;
  std::vector<Group> groups_;
};

// Searches the catalogue (its header already checked) for duplicates. The
// damaged discs are named in damaged ("Databázový soubor je poškozený: …");
// the items before the damage are compared. Throws IoError and
// DamagedCatalogue for damage in the chain of discs.
void FindDuplicates(ByteStream& file, DuplicateHost& host, DuplicateReport& report,
                    std::vector<std::string>& damaged);

}  // namespace rondo
