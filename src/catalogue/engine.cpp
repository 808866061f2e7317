#include "catalogue/engine.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "catalogue/conversion.h"
#include "catalogue/format/errors.h"
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

std::unique_ptr<FileStream> OpenCatalogue(const std::string& path) {
  if (path.empty())
    throw IoError(std::string(msg::kNoDatabasePath));
  try {
    return std::make_unique<FileStream>(path, FileStream::Mode::kReadWriteOrCreate);
  } catch (const IoError&) {
    std::error_code ec;
    const bool exists = std::filesystem::is_regular_file(path, ec);
    if (!exists)
      throw;
    // Still worth listing and searching; any write will say why it cannot.
    return std::make_unique<FileStream>(path, FileStream::Mode::kReadOnly);
  }
}

Engine::Engine(EngineHost& host, DisplayFormat format) : host_(host), format_(std::move(format)) {}

bool Engine::RunOperation(int code) {
  return RunOperation(static_cast<OperationCode>(code));
}

bool Engine::RunOperation(OperationCode code) {
  bool result = false;
  {
    std::unique_ptr<FileStream> file = OpenCatalogue(DatabasePath);

    if (file->Size() == 0) {
      file->Seek(0);
      WriteDatabaseHeader(*file, DatabaseHeader::Current());
    }
    file->Seek(0);
    const DatabaseHeader header = ReadDatabaseHeader(*file);
    if (!header.IsCurrentFormat()) {
      file.reset();
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

std::string Engine::PathLabelText() const {
  std::string label = "[" + LoadedDiscName + "] ";
  for (std::size_t i = 1; i < DirStack.size(); ++i)
    label += "\\" + DirStack[i].Name;
  return label;
}

}  // namespace rondo
