// SPDX-License-Identifier: GPL-3.0-or-later
// The commands add and rescan: a folder or a disc image scanned and stored
// as a new disc, or in place of a stored one.
#include <filesystem>
#include <memory>

#include "acquisition/rescan.h"
#include "acquisition/scan_request_check.h"
#include "acquisition/scanner.h"
#include "cli/cli_common.h"
#include "images/disc_image.h"
#include "platform/linux_drives.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"

namespace rondo {
namespace cli {

namespace {

// Problems met while scanning go to stderr; the ordinary status lines of the
// add-disc window are not repeated here.
class CliScanProgress : public ScanProgress {
 public:
  explicit CliScanProgress(std::ostream& err) : err_(err) {}
  // Warnings quote names found on the disc, which may hold anything.
  void Warn(const std::string& line) override { err_ << "rondotheka-cli: " << Shown(line) << '\n'; }

 private:
  std::ostream& err_;
};

std::optional<std::uint32_t> ParseSerial(const std::string& text) {
  if (text.size() != 9 || text[4] != '-')
    return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 4)
      continue;
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    if (digit < 0)
      return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// A file is a disc image, read without mounting it; a folder that is not
// there would be read as an empty disc. False after saying why not.
bool OpenRoot(const std::string& root, std::unique_ptr<images::DiscImage>& image,
              std::ostream& err) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(root, ec)) {
    try {
      image = std::make_unique<images::DiscImage>(root);
    } catch (const images::ImageError& e) {
      err << "rondotheka-cli: " << Shown(e.what()) << '\n';
      return false;
    }
  } else if (!std::filesystem::is_directory(root, ec)) {
    err << "rondotheka-cli: složka „" << Shown(root)
        << "“ neexistuje nebo to není složka. Nic nebylo uloženo.\n";
    return false;
  }
  return true;
}

// What the image says about itself goes with the scan's warnings.
void WarnAboutImage(const images::DiscImage* image, ScanProgress& progress) {
  if (image == nullptr)
    return;
  progress.Warn(image->TreeText());
  for (const std::string& problem : image->Problems())
    progress.Warn(problem);
}

}  // namespace

int AddDisc(const Arguments& a, Engine& engine, CliHost& host, Registry& registry,
            std::ostream& out, std::ostream& err) {
  ScanRequest request;
  request.groups.clear();
  std::optional<std::string> name, label, serial;
  bool allowDuplicate = false;
  for (std::size_t i = 1; i < a.words.size(); ++i) {
    const std::string& w = a.words[i];
    const auto value = [&](std::size_t count) { return i + count < a.words.size(); };
    if (w == "--name" && value(1)) {
      name = a.words[++i];
    } else if (w == "--group" && value(1)) {
      request.groups.push_back(a.words[++i]);
    } else if (w == "--comment" && value(2)) {
      request.commentRows.push_back({a.words[i + 1], a.words[i + 2]});
      i += 2;
    } else if (w == "--dir-groups" && value(2)) {
      request.groupRows.push_back({a.words[i + 1], a.words[i + 2]});
      i += 2;
    } else if (w == "--no-structure") {
      request.withoutStructure = true;
    } else if (w == "--serial" && value(1)) {
      serial = a.words[++i];
    } else if (w == "--label" && value(1)) {
      label = a.words[++i];
    } else if (w == "--allow-duplicate") {
      allowDuplicate = true;
    } else if (w.rfind("--", 0) == 0 || !request.root.empty()) {
      return Usage(err, "nesprávný argument příkazu add: " + w);
    } else {
      request.root = w;
    }
  }
  if (request.root.empty())
    return Usage(err, "add potřebuje KOŘEN");
  if (request.groups.empty())
    request.groups.emplace_back(kUnassignedGroup);
  // Every typed text is checked before anything is read, registered or
  // stored.
  ScanRequest typed = request;
  typed.description = name.value_or("");
  if (const std::string refusal = ScanRequestRefusal(typed, label.value_or("")); !refusal.empty()) {
    err << "rondotheka-cli: " << Shown(refusal) << " Nic nebylo změněno.\n";
    return kExitUsage;
  }

  std::unique_ptr<images::DiscImage> image;
  if (!OpenRoot(request.root, image, err))
    return kExitFailed;
  platform::LinuxDrives drives;
  std::optional<VolumeInfo> volume = image ? image->Volume() : drives.Volume(request.root);
  if (!volume) {
    if (!serial) {
      err << "rondotheka-cli: „" << Shown(request.root) << "“ nelze přečíst.\n";
      return kExitFailed;
    }
    volume = VolumeInfo{};
  }
  if (serial) {
    const auto parsed = ParseSerial(*serial);
    if (!parsed)
      return Usage(err, "--serial má tvar XXXX-XXXX (šestnáctkově)");
    volume->serial = *parsed;
  }
  if (label)
    volume->label = *label;
  request.volume = *volume;
  request.description = name.value_or(volume->label);

  engine.PendingSerial = SerialText(volume->serial);
  const bool exists = engine.RunOperation(OperationCode::kSerialExists);
  if (host.OldFormat())
    return OldFormat(err, engine.DatabasePath);
  if (host.Failed())
    return kExitFailed;
  if (exists && !allowDuplicate) {
    err << "rondotheka-cli: CD je již v databázi! (" << engine.PendingSerial
        << "; --allow-duplicate ho uloží znovu)\n";
    return kExitFailed;
  }

  CliScanProgress progress(err);
  platform::LinuxFileTree folder;
  WarnAboutImage(image.get(), progress);
  FileTree& tree = image ? static_cast<FileTree&>(*image) : folder;
  const ScanResult scanned = ScanDisc(request, tree, registry, progress);
  StoreScannedEntry(engine.DatabasePath, scanned.entry, progress, {}, WaitAtMost(a.wait),
                    !allowDuplicate);
  engine.RecalcSerial = ToUtf8(scanned.header.Serial.Text());
  engine.RunOperation(OperationCode::kRecalculateStructure);
  out << engine.RecalcSerial << '\n';
  return host.Failed() ? kExitFailed : kExitOk;
}

int RescanStoredDisc(const Arguments& a, Engine& engine, Registry& registry, std::ostream& out,
                     std::ostream& err) {
  if (a.words.size() != 3)
    return Usage(err, "rescan SERIAL KOŘEN|OBRAZ");
  const std::string& serial = a.words[1];
  const std::string& root = a.words[2];
  std::unique_ptr<images::DiscImage> image;
  if (!OpenRoot(root, image, err))
    return kExitFailed;
  CliScanProgress progress(err);
  WarnAboutImage(image.get(), progress);
  platform::LinuxFileTree folder;
  FileTree& tree = image ? static_cast<FileTree&>(*image) : folder;
  RescanSummary summary;
  try {
    summary =
        RescanDisc(engine.DatabasePath, serial, root, tree, registry, progress, WaitAtMost(a.wait));
  } catch (const RescanRefused& e) {
    err << "rondotheka-cli: " << Shown(e.what()) << '\n';
    return kExitFailed;
  }
  for (const auto& [label, value] : SummaryRows(summary))
    out << label << '\t' << value << '\n';
  return kExitOk;
}

}  // namespace cli
}  // namespace rondo
