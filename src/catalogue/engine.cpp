// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/engine.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>

#include "catalogue/conversion.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "catalogue/messages.h"

namespace rondo {

bool EngineHost::ConvertOldDatabase(const std::string& path) {
  try {
    ConvertOldCatalogue(path);
    return true;
  } catch (const std::exception& e) {
    ShowMessage(std::string(msg::kErrorPrefix) + e.what() + std::string(msg::kFileUnchanged));
    return false;
  }
}

std::unique_ptr<FileStream> OpenCatalogue(const std::string& path, bool forChange) {
  if (path.empty())
    throw IoError(std::string(msg::kNoDatabasePath));
  const std::string target = ResolveLinks(path);
  return std::make_unique<FileStream>(
      target, forChange ? FileStream::Mode::kReadWrite : FileStream::Mode::kReadOnly);
}

namespace {

bool MissingOrEmpty(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec || size == 0;
}

}  // namespace

void WriteHeaderIfEmpty(const std::string& path) {
  RefuseSpecialFile(path);
  const std::string target = ResolveLinks(path);
  if (!MissingOrEmpty(target))
    return;
  // Written beside and renamed into place like every change: a full disk
  // leaves no empty catalogue behind.
  ReplacementFile created(target);
  WriteDatabaseHeader(created.Stream(), DatabaseHeader::Current());
  created.Commit();
}

void CreateCatalogueIfEmpty(const std::string& path, const LockWaiter& wait) {
  if (path.empty())
    throw IoError(std::string(msg::kNoDatabasePath));
  RefuseSpecialFile(path);
  if (!MissingOrEmpty(path))
    return;
  WriteLock lock(path, wait);
  WriteHeaderIfEmpty(path);  // unless another program did meanwhile
}

Engine::ChangeLock::ChangeLock(Engine& engine) : engine_(engine) {
  if (engine_.lockHeld_)
    return;
  const std::string path = engine_.DatabasePath;
  if (path.empty())
    throw IoError(std::string(msg::kNoDatabasePath));
  lock_ = std::make_unique<WriteLock>(path, [&engine, path](std::chrono::milliseconds waited) {
    return engine.host_.KeepWaitingForLock(path, waited);
  });
  engine_.lockHeld_ = true;
}

Engine::ChangeLock::~ChangeLock() {
  if (lock_)
    engine_.lockHeld_ = false;
}

bool ChangesCatalogue(OperationCode code) {
  switch (code) {
    case OperationCode::kRemoveCds:
    case OperationCode::kLendCds:
    case OperationCode::kReturnCds:
    case OperationCode::kClearLending:
    case OperationCode::kRenameCd:
    case OperationCode::kChangeCdGroups:
    case OperationCode::kMarkMultigroupMembers:
    case OperationCode::kAppendMultigroup:
    case OperationCode::kRecalculateStructure:
    case OperationCode::kChangeItemComment:
    case OperationCode::kChangeItemGroups:
      return true;
    default:
      return false;
  }
}

Engine::Engine(EngineHost& host, DisplayFormat format) : host_(host), format_(std::move(format)) {}

bool Engine::RunOperation(int code) {
  return RunOperation(static_cast<OperationCode>(code));
}

bool Engine::RunOperation(OperationCode code) {
  bool result = false;
  ++running_;
  struct Running {
    int& count;
    ~Running() { --count; }
  } running{running_};
  {
    // A change holds the lock from reading the catalogue to writing it, and
    // reads it afresh under the lock: what another program changed before
    // is never overwritten with what this one read earlier.
    const bool change = ChangesCatalogue(code);
    if (code == OperationCode::kLendCds && !AskLendingName()) {
      RunOperation(OperationCode::kListCds);
      return false;
    }
    if ((code == OperationCode::kChangeItemComment || code == OperationCode::kChangeItemGroups) &&
        !AskItemChange(code == OperationCode::kChangeItemGroups)) {
      return false;
    }
    std::optional<ChangeLock> lock;
    if (change)
      lock.emplace(*this);
    if (lockHeld_) {
      WriteHeaderIfEmpty(DatabasePath);
    } else {
      CreateCatalogueIfEmpty(DatabasePath, [this](std::chrono::milliseconds waited) {
        return host_.KeepWaitingForLock(DatabasePath, waited);
      });
    }
    std::unique_ptr<FileStream> file = OpenCatalogue(DatabasePath, change);

    file->Seek(0);
    const DatabaseHeader header = ReadDatabaseHeader(*file);
    if (!header.IsCurrentFormat()) {
      file.reset();
      lock.reset();  // the conversion takes it itself
      // Listing again after a conversion that did not happen would only ask
      // the same question again.
      if (host_.Confirm(std::string(msg::kOldFormatQuestion)) &&
          host_.ConvertOldDatabase(DatabasePath)) {
        RunOperation(OperationCode::kListCds);
      }
      return false;
    }

    // The completion step runs on the normal end and on errors alike: the
    // file closes with `file` and the path label is rebuilt for listings.
    struct Completion {
      Engine& engine;
      OperationCode code;
      ~Completion() {
        if (code == OperationCode::kShowDiscRoot || code == OperationCode::kShowDirectory) {
          engine.PathLabel = engine.PathLabelText();
          engine.host_.PathLabelChanged(engine.PathLabel);
        }
      }
    };
    Completion completion{*this, code};
    Dispatch(code, *file, result);
  }
  return result;
}

void Engine::Dispatch(OperationCode code, FileStream& file, bool& result) {
  switch (code) {
    case OperationCode::kListCds:
      try {
        ListCds(file);
      } catch (const std::exception& e) {
        host_.ShowMessage(std::string(msg::kErrorPrefix) + e.what() +
                          std::string(msg::kListErrorAdvice));
        SortDiscsByCaption();
        host_.DiscListChanged();
      }
      break;
    case OperationCode::kSerialExists:
      try {
        result = SerialExists(file);
      } catch (const std::exception& e) {
        host_.ShowMessage(std::string(msg::kErrorPrefix) + e.what());
      }
      break;
    case OperationCode::kShowMultigroup:
      ShowMultigroup(file);
      break;
    case OperationCode::kRemoveCds:
      RemoveCds(file);
      break;
    case OperationCode::kLendCds:
    case OperationCode::kReturnCds:
    case OperationCode::kClearLending:
      ChangeLending(file, code);
      break;
    case OperationCode::kRenameCd:
      RenameCd(file);
      break;
    case OperationCode::kChangeCdGroups:
      ChangeCdGroups(file);
      break;
    case OperationCode::kMarkMultigroupMembers:
      MarkMultigroupMembers(file);
      break;
    case OperationCode::kAppendMultigroup:
      AppendMultigroup(file);
      break;
    case OperationCode::kImportGroups:
      try {
        ImportGroups(file);
      } catch (const std::exception& e) {
        host_.ShowMessage(std::string(msg::kErrorPrefix) + e.what() +
                          std::string(msg::kListErrorAdvice));
      }
      break;
    case OperationCode::kDatabaseStatistics:
      ComputeStatistics(file);
      break;
    case OperationCode::kChangeItemComment:
      ChangeItem(file, false);
      break;
    case OperationCode::kChangeItemGroups:
      ChangeItem(file, true);
      break;
    case OperationCode::kSearch:
      SearchContents(file);
      break;
    case OperationCode::kFindDuplicates:
      FindDuplicateFiles(file);
      break;
    case OperationCode::kRecalculateStructure:
      RecalculateStructure(file);
      break;
    case OperationCode::kLoadCdBlock:
      LoadCdBlock(file);
      break;
    case OperationCode::kShowDiscRoot:
      ShowDiscRoot();
      break;
    case OperationCode::kShowDirectory:
      ShowDirectory();
      break;
    default:
      // The remaining operations belong to windows and commands not built
      // yet; like an unknown code they open and close the file and do nothing.
      break;
  }
}

// The walks that read every disc's items (the search, the duplicates) go on
// past a damaged disc, so that one bad block does not hide the others'
// results; the user learns of every damaged disc at once when the walk ends.
void Engine::WalkNamingDamage(const std::function<void(std::vector<std::string>& damaged)>& walk) {
  std::vector<std::string> damaged;
  try {
    walk(damaged);
  } catch (const std::exception& e) {
    damaged.push_back(e.what());
  }
  if (damaged.empty())
    return;
  std::string report(msg::kErrorPrefix);
  for (std::size_t i = 0; i < damaged.size(); ++i)
    report += (i == 0 ? "" : "\r\n") + damaged[i];
  host_.ShowMessage(report);
}

std::string Engine::PathLabelText() const {
  std::string label = "[" + LoadedDiscName + "] ";
  for (std::size_t i = 1; i < DirStack.size(); ++i)
    label += "\\" + DirStack[i].Name;
  return label;
}

}  // namespace rondo
