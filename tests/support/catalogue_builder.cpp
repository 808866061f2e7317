// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/catalogue_builder.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "shell/text.h"

namespace rondo::test {

CdHeader MakeHeader(const DiscSpec& disc) {
  CdHeader h;
  h.Serial.Set(ToCp1250(disc.serial));
  h.Description.Set(ToCp1250(disc.description));
  h.Groups.Set(ToCp1250(disc.groups));
  h.Lending.Set(ToCp1250(disc.lending));
  h.VolumeLabel.Set(ToCp1250(disc.label));
  h.LendDate = disc.lendDate;
  h.Created = disc.created;
  h.Finished = disc.finished;
  h.FileCount = disc.files;
  h.DirCount = disc.dirs;
  h.CdSize = disc.cdSize;
  h.InMultigroup = disc.inMultigroup ? 1 : 0;
  return h;
}

CatalogueItem Item(bool directory, const std::string& name, std::uint8_t level, std::uint32_t size,
                   const std::string& comment) {
  CatalogueItem item;
  item.directory = directory;
  item.record.Name.chars = ToCp1250(name).bytes;
  item.record.Comment.chars = ToCp1250(comment).bytes;
  item.record.Size = size;
  item.record.Attributes = 0x20;
  item.record.Time = 44000.25;
  item.record.Level = level;
  return item;
}

CatalogueBytes::CatalogueBytes() {
  MemoryStream out;
  WriteDatabaseHeader(out, DatabaseHeader::Current());
  bytes_ = out.Bytes();
}

CatalogueBytes& CatalogueBytes::AddDisc(const DiscSpec& disc,
                                        const std::vector<CatalogueItem>& items) {
  return AddRaw(BuildCdEntry(MakeHeader(disc), items, true));
}

CatalogueBytes& CatalogueBytes::AddMultigroup(const DiscSpec& disc,
                                              const std::vector<std::string>& members) {
  DiscSpec s = disc;
  s.label = "Multi Group";
  MemberList list;
  if (members.size() > kMemberSlots)
    throw std::invalid_argument("too many members");
  for (std::size_t i = 0; i < members.size(); ++i)
    list.Slots[i].Set(ToCp1250(members[i]));
  return AddRaw(BuildMultigroupEntry(MakeHeader(s), list));
}

CatalogueBytes& CatalogueBytes::AddRaw(const std::vector<std::uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

void CatalogueBytes::Save(const std::filesystem::path& path) const {
  WriteAll(path, bytes_);
}

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (!(name.starts_with('.') && name.ends_with(".rondotheka-lock")))
      names.insert(name);
  }
  return names;
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rondo-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

}  // namespace rondo::test
