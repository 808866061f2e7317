// SPDX-License-Identifier: GPL-3.0-or-later
#include "images/disc_image.h"

#include "images/udf_records.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <udfread/udfread.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>

#include "platform/volume_serial.h"
#include "shell/dates.h"

namespace rondo::images {

namespace {

// More entries than any real disc holds: a tree that claims more (a UDF
// directory that contains itself) is cut there.
constexpr std::size_t kMostEntries = 4'000'000;
constexpr int kDeepest = 255;
constexpr int kMostLinks = 40;

// libarchive converts Joliet names into the character set of the current
// locale; while the tree is read that is UTF-8, whatever the program's
// locale, so that no name turns into question marks.
class Utf8Locale {
 public:
  Utf8Locale() : locale_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
    if (locale_ != locale_t{})
      previous_ = ::uselocale(locale_);
  }
  ~Utf8Locale() {
    if (locale_ != locale_t{}) {
      ::uselocale(previous_);
      ::freelocale(locale_);
    }
  }
  Utf8Locale(const Utf8Locale&) = delete;
  Utf8Locale& operator=(const Utf8Locale&) = delete;

 private:
  locale_t locale_;
  locale_t previous_{};
};

struct ArchiveCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};

struct UdfCloser {
  void operator()(udfread* u) const { udfread_close(u); }
};

struct UdfDirCloser {
  void operator()(UDFDIR* d) const { udfread_closedir(d); }
};

std::string Parent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir + "/" + name;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
    text.pop_back();
  return text;
}

std::size_t Characters(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A path as libarchive gives it with its empty and "." names left out and
// ".." (which only a damaged image holds) made a name of its own.
std::string CleanPath(const std::string& path) {
  const bool clean_already = !path.empty() && path.front() != '/' && path.back() != '/' &&
                             path.find("//") == std::string::npos && !path.starts_with("./") &&
                             path.find("/./") == std::string::npos &&
                             path.find("..") == std::string::npos && path != ".";
  if (clean_already)
    return path;
  std::string clean;
  for (std::size_t b = 0; b <= path.size();) {
    const std::size_t e = std::min(path.find('/', b), path.size());
    const std::string part = path.substr(b, e - b);
    if (!part.empty() && part != ".")
      clean = Join(clean, part == ".." ? "_" : part);
    b = e + 1;
  }
  return clean;
}

// The image as libarchive reads it, with a budget of calls: a damaged
// image can send its reader round in circles (seeking on the spot for
// ever), and running out of the budget ends the reading with an error
// instead. A real image needs one or two calls a file and a few a sector of
// directories.
class BoundedSource {
 public:
  // records: the directory records the walk met.
  BoundedSource(int fd, std::uint64_t size, std::uint64_t records)
      : fd_(fd), size_(size), budget_(4 * records + size / kIsoBlock + 10'000) {}

  static la_ssize_t Read(archive* a, void* self, const void** buffer) {
    auto& s = *static_cast<BoundedSource*>(self);
    if (!s.Spend(a))
      return 0;  // the end: libarchive stops on a truncated image
    const std::uint64_t left = s.size_ > s.pos_ ? s.size_ - s.pos_ : 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, s.buffer_.size()));
    if (n > 0 && !platform::ReadAt(s.fd_, s.pos_, s.buffer_.data(), n)) {
      archive_set_error(a, EIO, "čtení obrazu selhalo");
      return -1;
    }
    s.pos_ += n;
    *buffer = s.buffer_.data();
    return static_cast<la_ssize_t>(n);
  }

  static la_int64_t Skip(archive* a, void* self, la_int64_t request) {
    auto& s = *static_cast<BoundedSource*>(self);
    if (!s.Spend(a) || request < 0)
      return 0;  // nothing skipped; reading on meets the end
    const std::uint64_t left = s.size_ > s.pos_ ? s.size_ - s.pos_ : 0;
    const std::uint64_t n = std::min<std::uint64_t>(left, static_cast<std::uint64_t>(request));
    s.pos_ += n;
    return static_cast<la_int64_t>(n);
  }

  static la_int64_t Seek(archive* a, void* self, la_int64_t offset, int whence) {
    auto& s = *static_cast<BoundedSource*>(self);
    if (!s.Spend(a))
      return ARCHIVE_FATAL;
    const la_int64_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? static_cast<la_int64_t>(s.pos_)
                                                 : static_cast<la_int64_t>(s.size_);
    if (offset > std::numeric_limits<la_int64_t>::max() - base || base + offset < 0)
      return ARCHIVE_FATAL;
    s.pos_ = static_cast<std::uint64_t>(base + offset);
    return base + offset;
  }

 private:
  // After the budget, the image looks at its end to libarchive: it stops
  // on an end it did not expect (an error it would not always heed).
  bool Spend(archive* a) {
    if (++calls_ <= budget_)
      return true;
    if (calls_ == budget_ + 1)
      archive_set_error(a, EINVAL, "obraz se čte pořád dokola");
    return false;
  }

  int fd_;
  std::uint64_t size_;
  std::uint64_t pos_ = 0;
  std::uint64_t calls_ = 0;
  std::uint64_t budget_;
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
};

// One entry as libarchive gives it.
struct Archived {
  std::string path;
  bool directory = false;
  bool symlink = false;
  std::string target;    // of a symbolic link
  std::string hardlink;  // the earlier name of the same file
  std::uint64_t size = 0;
  std::time_t mtime = 0;
};

using EntryTree = std::unordered_map<std::string, std::vector<TreeEntry>>;

// Where a symbolic link inside the image leads.
enum class LinkEnd { kOutside, kNowhere, kFound };

struct LinkResolver {
  const std::unordered_map<std::string, const Archived*>& byPath;

  // relative gets the path below the image of what was found ("" for the
  // root, where found stays null).
  LinkEnd Resolve(const std::string& dir, const std::string& target, std::string& relative,
                  const Archived*& found) const {
    std::vector<std::string> parts;
    std::string rest = dir.empty() ? target : dir + "/" + target;
    int links = 0;
    found = nullptr;
    while (!rest.empty()) {
      if (rest.front() == '/')
        return LinkEnd::kOutside;
      const std::size_t e = std::min(rest.find('/'), rest.size());
      const std::string part = rest.substr(0, e);
      rest = e < rest.size() ? rest.substr(e + 1) : std::string();
      if (part.empty() || part == ".")
        continue;
      if (found != nullptr && !found->directory)
        return LinkEnd::kNowhere;  // a file in the middle of the path
      if (part == "..") {
        if (parts.empty())
          return LinkEnd::kOutside;
        parts.pop_back();
        found = nullptr;
        continue;
      }
      std::string here;
      for (const auto& p : parts)
        here = Join(here, p);
      const auto it = byPath.find(Join(here, part));
      if (it == byPath.end())
        return LinkEnd::kNowhere;
      if (it->second->symlink) {
        if (++links > kMostLinks || it->second->target.empty())
          return LinkEnd::kNowhere;
        const std::string& next = it->second->target;
        rest = (next.front() == '/' ? next : (here.empty() ? next : here + "/" + next)) +
               (rest.empty() ? "" : "/" + rest);
        parts.clear();
        found = nullptr;
        continue;
      }
      parts.push_back(part);
      found = it->second;
    }
    relative.clear();
    for (const auto& p : parts)
      relative = Join(relative, p);
    return LinkEnd::kFound;
  }
};

// An ECMA-167 volume recognition sequence with an NSR descriptor (UDF)
// among the sectors after the system area.
bool HasUdfRecognition(int fd, std::uint64_t imageSize) {
  std::string sector(kIsoBlock, '\0');
  for (std::uint64_t n = 16; n < 16 + 64 && (n + 1) * kIsoBlock <= imageSize; ++n) {
    if (!platform::ReadAt(fd, n * kIsoBlock, sector.data(), 8))
      return false;
    const std::string_view id = std::string_view(sector).substr(1, 5);
    if (id == "NSR02" || id == "NSR03")
      return true;
    if (id != "CD001" && id != "BEA01" && id != "CDW02" && id != "BOOT2")
      return false;
  }
  return false;
}

}  // namespace

bool LooksLikeDiscImage(const std::string& path) {
  const platform::UniqueFd fd = platform::OpenForReading(path);
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    return false;
  std::string sector(kIsoBlock, '\0');
  for (std::uint64_t n = 16; n < 16 + 8; ++n) {
    if (!platform::ReadAt(fd.Get(), n * kIsoBlock, sector.data(), kIsoBlock))
      return false;
    const std::string_view id = std::string_view(sector).substr(1, 5);
    if (id == "CD001" || id == "BEA01" || id == "NSR02" || id == "NSR03")
      return true;
  }
  return false;
}

DiscImage::DiscImage(const std::string& path) : path_(path) {
  const platform::UniqueFd fd = platform::OpenForReading(path);
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0)
    throw ImageError("Obraz disku „" + path + "“ nelze otevřít.");
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode))
    throw ImageError("„" + path + "“ není soubor s obrazem disku.");
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  const IsoDescriptors descriptors = ReadIsoDescriptors(fd.Get(), size);
  const bool iso = !descriptors.primary.empty();
  const bool joliet = !descriptors.joliet.empty();

  const bool udfPresent = HasUdfRecognition(fd.Get(), size);
  if (!iso && !udfPresent) {
    throw ImageError("„" + path +
                     "“ není obraz disku ISO 9660 ani UDF, nebo je poškozený. Nic nebylo uloženo.");
  }
  if (iso) {
    const bool rockRidge = !joliet && HasRockRidge(fd.Get(), size, descriptors.primary);
    try {
      ReadIsoTree(fd.Get(), size, descriptors, rockRidge);
      kind_ = joliet ? ImageTreeKind::kJoliet
                     : (rockRidge ? ImageTreeKind::kRockRidge : ImageTreeKind::kIso9660);
    } catch (const ImageError&) {
      if (!udfPresent)
        throw;
      dirs_.clear();
      moreExtents_.clear();
    }
  }
  EntryTree udfTree;
  std::string udfLabel, udfSet;
  bool udf = false;
  if (udfPresent) {
    RecordingUdfInput input(fd.Get(), size);
    std::unique_ptr<udfread, UdfCloser> u(udfread_init());
    input.Start();
    if (u && udfread_open_input(u.get(), input.Input()) >= 0) {
      udf = true;
      UdfDirectoryRecords rootRecords = ParseUdfDirectory(input.Stop(), kUdfFileSetDescriptor);
      if (const char* id = udfread_get_volume_id(u.get()))
        udfLabel = TrimRight(id);
      char set[128];
      const std::size_t n = udfread_get_volume_set_id(u.get(), set, sizeof set);
      udfSet.assign(set, std::min(n, sizeof set));
      std::size_t count = 0;
      bool cut = false;
      // records: the File Identifier Descriptors of dir, read as it was
      // opened; they say which entries are hidden and which deleted.
      const auto walk = [&](auto&& self, UDFDIR* dir, UdfDirectoryRecords& records,
                            const std::string& rel, int depth) -> void {
        std::vector<TreeEntry>& entries = udfTree[rel];
        std::vector<std::size_t> subdirs;
        udfread_dirent d{};
        while (udfread_readdir(dir, &d) != nullptr) {
          const std::string name = d.d_name ? d.d_name : "";
          if (name.empty() || name == "." || name == "..")
            continue;
          const std::uint8_t characteristics = records.Take(name);
          if (characteristics & kUdfDeleted)
            continue;  // left behind by a deletion; a mounted disc does not show it
          if (++count > kMostEntries) {
            cut = true;
            return;
          }
          TreeEntry e;
          e.name = name;
          e.directory = d.d_type == UDF_DT_DIR;
          const bool hidden = (characteristics & kUdfHidden) != 0 || name[0] == '.';
          e.attributes = 0x01 | (e.directory ? 0x10 : 0) | (hidden ? 0x02 : 0);
          if (e.directory) {
            subdirs.push_back(entries.size());
          } else {
            input.Start();
            UDFFILE* f = udfread_file_openat(dir, name.c_str());
            const std::vector<std::string> read = input.Stop();
            if (f != nullptr) {
              const std::int64_t bytes = udfread_file_size(f);
              e.sizeKnown = bytes >= 0;
              e.size = bytes >= 0 ? static_cast<std::uint64_t>(bytes) : 0;
              if (const auto time = read.empty() ? std::nullopt : UdfModificationTime(read[0]))
                e.time = FileWriteTime(*time);
              udfread_file_close(f);
            } else {
              e.sizeKnown = false;
            }
          }
          entries.push_back(std::move(e));
        }
        if (depth >= kDeepest)
          return;
        for (const std::size_t index : subdirs) {
          const std::string name = entries[index].name;
          input.Start();
          std::unique_ptr<UDFDIR, UdfDirCloser> sub(udfread_opendir_at(dir, name.c_str()));
          UdfDirectoryRecords subRecords = ParseUdfDirectory(input.Stop());
          if (!sub) {
            problems_.push_back("Adresář /" + Join(rel, name) + " stromu UDF nelze přečíst.");
            continue;
          }
          if (subRecords.time)
            entries[index].time = FileWriteTime(*subRecords.time);
          self(self, sub.get(), subRecords, Join(rel, name), depth + 1);
          if (cut)
            return;
        }
      };
      std::unique_ptr<UDFDIR, UdfDirCloser> root(udfread_opendir(u.get(), "/"));
      if (root)
        walk(walk, root.get(), rootRecords, "", 0);
      else
        udf = false;
      if (cut)
        problems_.push_back("Strom UDF má přes " + std::to_string(kMostEntries) +
                            " položek; čten jen po tuto mez.");
    }
  }
  if (!udf && dirs_.empty())
    throw ImageError("„" + path + "“ je poškozený obraz disku. Nic nebylo uloženo.");
  if (udf) {
    std::size_t isoLongest = 0, udfLongest = 0;
    for (const auto& [rel, dir] : dirs_)
      for (const TreeEntry& e : dir.entries)
        isoLongest = std::max(isoLongest, Characters(e.name));
    for (const auto& [rel, entries] : udfTree)
      for (const TreeEntry& e : entries)
        udfLongest = std::max(udfLongest, Characters(e.name));
    if (dirs_.empty() || !joliet || udfLongest > isoLongest) {
      dirs_.clear();
      for (auto& [rel, entries] : udfTree)
        dirs_[rel].entries = std::move(entries);
      moreExtents_.clear();
      kind_ = ImageTreeKind::kUdf;
    }
  }

  // Label and serial: see the README's rules.
  volume_.fileSystem = kind_ == ImageTreeKind::kUdf ? "udf" : "iso9660";
  if (joliet)
    volume_.label =
        TrimRight(platform::Utf16BeToUtf8(std::string_view(descriptors.joliet).substr(40, 32)));
  if (volume_.label.empty() && iso) {
    std::string label;
    for (char c : std::string_view(descriptors.primary).substr(40, 32))
      label += platform::Utf16BeToUtf8(std::string("\0", 1) + c);
    volume_.label = TrimRight(label);
  }
  if (volume_.label.empty())
    volume_.label = udfLabel;
  if (iso)
    volume_.serial = platform::DescriptorSerial(joliet ? descriptors.joliet : descriptors.primary);
  else
    volume_.serial = platform::StableSerial(udfSet);
}

void DiscImage::ReadIsoTree(int fd, std::uint64_t size, const IsoDescriptors& descriptors,
                            bool rockRidge) {
  const bool joliet = !descriptors.joliet.empty();
  IsoWalk walk = WalkIsoTree(fd, size, joliet ? descriptors.joliet : descriptors.primary,
                             joliet      ? IsoNames::kJoliet
                             : rockRidge ? IsoNames::kRockRidge
                                         : IsoNames::kIso9660);
  problems_.insert(problems_.end(), walk.problems.begin(), walk.problems.end());

  // libarchive holds a whole directory in memory as its record claims it,
  // and looks at the primary root even when it reads the Joliet tree: a
  // tree with an absurd directory is read from its records alone.
  const std::string_view primary = descriptors.primary;
  const std::uint64_t primaryRoot =
      static_cast<unsigned char>(primary[166]) | static_cast<unsigned char>(primary[167]) << 8 |
      static_cast<unsigned char>(primary[168]) << 16 |
      static_cast<std::uint64_t>(static_cast<unsigned char>(primary[169])) << 24;
  const bool archiveReads = !walk.absurd && primaryRoot <= std::min<std::uint64_t>(size, 64 << 20);
  if (!archiveReads && walk.dirs.count("") == 0) {
    throw ImageError("„" + path_ +
                     "“ je poškozený obraz disku: jeho kořenový adresář nelze přečíst. Nic nebylo "
                     "uloženo.");
  }
  if (!archiveReads)
    problems_.push_back("Obraz má poškozené adresářové záznamy; strom čten jen z nich.");
  std::vector<Archived> items;
  bool linked = false;  // symbolic or hard links seen
  if (archiveReads) {
    const Utf8Locale utf8;
    std::unique_ptr<archive, ArchiveCloser> a(archive_read_new());
    if (!a)
      throw ImageError("Obraz disku nelze číst: nedostatek paměti.");
    archive_read_support_format_iso9660(a.get());
    // The tree Windows shows: Joliet when there is one; Rock Ridge otherwise.
    archive_read_set_format_option(a.get(), "iso9660", joliet ? "rockridge" : "joliet", nullptr);
    std::uint64_t records = 0;
    for (const auto& [rel, list] : walk.dirs)
      records += list.size();
    BoundedSource source{fd, size, records};
    archive_read_set_callback_data(a.get(), &source);
    archive_read_set_read_callback(a.get(), BoundedSource::Read);
    archive_read_set_skip_callback(a.get(), BoundedSource::Skip);
    archive_read_set_seek_callback(a.get(), BoundedSource::Seek);
    if (archive_read_open1(a.get()) != ARCHIVE_OK) {
      const char* why = archive_error_string(a.get());
      throw ImageError("„" + path_ + "“ nelze číst jako obraz disku ISO 9660 (" +
                       (why ? why : "neznámá chyba") + "). Nic nebylo uloženo.");
    }
    archive_entry* entry = nullptr;
    for (;;) {
      const int r = archive_read_next_header(a.get(), &entry);
      if (r == ARCHIVE_EOF)
        break;
      if (r == ARCHIVE_FATAL || r == ARCHIVE_RETRY) {
        const char* why = archive_error_string(a.get());
        if (items.empty()) {
          throw ImageError("„" + path_ + "“ je poškozený obraz disku (" +
                           (why ? why : "neznámá chyba") + "). Nic nebylo uloženo.");
        }
        problems_.push_back(std::string("Obraz je poškozený, čten jen po chybu: ") +
                            (why ? why : "neznámá chyba") + ".");
        break;
      }
      if (items.size() >= kMostEntries) {
        problems_.push_back("Obraz má přes " + std::to_string(kMostEntries) +
                            " položek; čten jen po tuto mez.");
        break;
      }
      const char* raw = archive_entry_pathname(entry);
      const std::string p = CleanPath(raw ? raw : "");
      if (p.empty())
        continue;
      Archived item;
      item.path = std::move(p);
      const mode_t type = archive_entry_filetype(entry);
      item.directory = type == AE_IFDIR;
      item.symlink = type == AE_IFLNK;
      if (item.symlink && archive_entry_symlink(entry))
        item.target = archive_entry_symlink(entry);
      item.size = archive_entry_size_is_set(entry)
                      ? static_cast<std::uint64_t>(archive_entry_size(entry))
                      : 0;
      if (const char* hard = archive_entry_hardlink(entry)) {
        // A second name for an earlier file: libarchive gives its size only
        // with the first, looked up below.
        item.hardlink = CleanPath(hard);
        linked = true;
      }
      linked = linked || item.symlink;
      item.mtime = archive_entry_mtime(entry);
      items.push_back(std::move(item));
    }
  }
  std::unordered_map<std::string, const Archived*> byPath;
  for (std::size_t i = 0; linked && i < items.size(); ++i)
    byPath.emplace(items[i].path, &items[i]);
  const LinkResolver resolver{byPath};
  dirs_[""];
  for (const Archived& item : items) {
    // Every directory above gets its place even when libarchive gave no
    // entry for it.
    for (std::string up = item.path; !up.empty();) {
      const std::string parent = Parent(up);
      if (dirs_.count(parent) != 0)
        break;
      dirs_[parent];
      up = parent;
    }
    if (item.directory)
      dirs_[item.path];
  }
  for (const Archived& item : items) {
    const std::string parent = Parent(item.path);
    TreeEntry e;
    e.name = Leaf(item.path);
    e.directory = item.directory;
    e.size = item.directory ? 0 : item.size;
    if (!item.hardlink.empty()) {
      const auto first = byPath.find(item.hardlink);
      e.size = first == byPath.end() ? 0 : first->second->size;
    }
    e.time = FileWriteTime(item.mtime);
    if (item.symlink) {
      e.link = true;
      std::string relative;
      const Archived* target = nullptr;
      switch (resolver.Resolve(parent, item.target, relative, target)) {
        case LinkEnd::kOutside:
          e.linkTarget = item.target;  // the scanner stores it without a size
          break;
        case LinkEnd::kNowhere:
          e.sizeKnown = false;
          break;
        case LinkEnd::kFound:
          e.linkTarget = relative.empty() ? path_ : path_ + "/" + relative;
          if (target == nullptr || target->directory) {
            e.directory = true;
            e.linkToDirectory = true;
          } else {
            e.size = target->size;
          }
          break;
      }
    }
    dirs_[parent].entries.push_back(std::move(e));
  }
  // Directories libarchive passes over (it reads the image front to back
  // and skips one recorded before its parent, as genisoimage does for deep
  // Joliet trees) are taken from the records themselves.
  if (!rockRidge || !archiveReads) {
    std::vector<const std::string*> parentsFirst;
    for (const auto& [rel, records] : walk.dirs)
      parentsFirst.push_back(&rel);
    std::sort(parentsFirst.begin(), parentsFirst.end(), [](const auto* a, const auto* b) {
      return std::count(a->begin(), a->end(), '/') < std::count(b->begin(), b->end(), '/');
    });
    for (const std::string* relative : parentsFirst) {
      const std::string& rel = *relative;
      const std::vector<IsoRecord>& records = walk.dirs.at(rel);
      if (rel.empty() ? false : dirs_.count(rel) == 0)
        continue;
      std::vector<TreeEntry>& entries = dirs_[rel].entries;
      std::vector<std::string_view> known;
      known.reserve(entries.size());
      for (const TreeEntry& e : entries)
        known.emplace_back(e.name);
      std::sort(known.begin(), known.end());
      std::vector<TreeEntry> missing;
      for (const IsoRecord& record : records) {
        if (std::binary_search(known.begin(), known.end(), std::string_view(record.name)))
          continue;
        TreeEntry e;
        e.name = record.name;
        e.directory = record.directory;
        if (!record.directory) {
          e.size = record.extent.size;
          for (const Extent& extent : record.more)
            e.size += extent.size;
        }
        e.time = FileWriteTime(static_cast<std::time_t>(record.time));
        missing.push_back(std::move(e));
        if (record.directory)
          dirs_[Join(rel, record.name)];
      }
      for (TreeEntry& e : missing)
        entries.push_back(std::move(e));
    }
  }
  // The records' order and hidden flags; entries the walk did not meet
  // (a relocated deep directory, a name continued elsewhere) follow in
  // libarchive's order.
  constexpr std::size_t kNotMet = std::numeric_limits<std::size_t>::max();
  for (auto& [rel, dir] : dirs_) {
    const auto found = walk.dirs.find(rel);
    // The records by name, to find each entry's record.
    std::vector<std::pair<std::string_view, std::size_t>> byName;
    if (found != walk.dirs.end()) {
      byName.reserve(found->second.size());
      for (std::size_t i = 0; i < found->second.size(); ++i)
        byName.emplace_back(found->second[i].name, i);
      std::sort(byName.begin(), byName.end());
    }
    std::vector<std::pair<std::size_t, std::size_t>> order;  // record, entry
    order.reserve(dir.entries.size());
    for (std::size_t i = 0; i < dir.entries.size(); ++i) {
      TreeEntry& e = dir.entries[i];
      const auto it = std::lower_bound(byName.begin(), byName.end(),
                                       std::pair<std::string_view, std::size_t>(e.name, 0));
      const std::size_t at = it != byName.end() && it->first == e.name ? it->second : kNotMet;
      const bool hidden = at != kNotMet && found->second[at].hidden;
      e.attributes = 0x01 | (e.directory ? 0x10 : 0) |
                     ((hidden || (!e.name.empty() && e.name[0] == '.')) ? 0x02 : 0);
      order.emplace_back(at, i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<TreeEntry> sorted;
    sorted.reserve(order.size());
    dir.extents.reserve(order.size());
    for (const auto& [at, i] : order) {
      const IsoRecord* record = at == kNotMet ? nullptr : &found->second[at];
      dir.extents.push_back(record != nullptr && !record->directory ? record->extent : Extent{});
      if (record != nullptr && !record->more.empty())
        moreExtents_[Join(rel, record->name)] = record->more;
      sorted.push_back(std::move(dir.entries[i]));
    }
    dir.entries = std::move(sorted);
  }
}

bool DiscImage::Relative(const std::string& path, std::string& relative) const {
  if (path == path_) {
    relative.clear();
    return true;
  }
  if (path.size() > path_.size() + 1 && path.starts_with(path_) && path[path_.size()] == '/') {
    relative = path.substr(path_.size() + 1);
    return true;
  }
  return false;
}

bool DiscImage::List(const std::string& path, std::vector<TreeEntry>& entries) {
  entries.clear();
  std::string relative;
  if (!Relative(path, relative))
    return false;
  const auto it = dirs_.find(relative);
  if (it == dirs_.end())
    return false;
  entries = it->second.entries;
  return it->second.complete;
}

std::vector<Extent> DiscImage::Extents(const std::string& path) const {
  std::string relative;
  if (!Relative(path, relative))
    return {};
  const auto dir = dirs_.find(Parent(relative));
  if (dir == dirs_.end() || dir->second.extents.empty())
    return {};
  const std::vector<TreeEntry>& entries = dir->second.entries;
  if (indexedDir_ != dir->first) {
    index_.clear();
    for (std::size_t i = 0; i < entries.size() && i < dir->second.extents.size(); ++i) {
      if (!entries[i].directory)
        index_.emplace(entries[i].name, i);
    }
    indexedDir_ = dir->first;
  }
  const auto at = index_.find(Leaf(relative));
  if (at == index_.end())
    return {};
  std::vector<Extent> extents{dir->second.extents[at->second]};
  if (const auto more = moreExtents_.find(relative); more != moreExtents_.end())
    extents.insert(extents.end(), more->second.begin(), more->second.end());
  return extents;
}

std::string DiscImage::TreeText() const {
  switch (kind_) {
    case ImageTreeKind::kJoliet:
      return "Obraz disku: čten strom Joliet.";
    case ImageTreeKind::kRockRidge:
      return "Obraz disku: čten strom ISO 9660 se jmény Rock Ridge.";
    case ImageTreeKind::kIso9660:
      return "Obraz disku: čten strom ISO 9660 (bez Joliet a Rock Ridge).";
    case ImageTreeKind::kUdf:
      return "Obraz disku: čten strom UDF.";
  }
  return {};
}

}  // namespace rondo::images
