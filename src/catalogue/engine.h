// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue engine: every catalogue action is one RunOperation(code)
// call that opens the catalogue file, checks its header, carries out the one
// operation, writes the results into the lists and closes the file again. No
// handle survives between calls, so the user may copy or replace the file
// between any two actions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "catalogue/dir_list.h"
#include "catalogue/disc_list.h"
#include "catalogue/duplicates.h"
#include "catalogue/engine_host.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/records.h"
#include "catalogue/format/write_lock.h"
#include "catalogue/search.h"
#include "catalogue/statistics.h"
#include "settings/registry.h"
#include "shell/dates.h"

namespace rondo {

enum class OperationCode : int {
  kListCds = 0,
  kLoadCdBlock = 1,
  kShowDiscRoot = 2,
  kShowDirectory = 3,
  kRemoveCds = 4,
  kLendCds = 5,
  kReturnCds = 6,
  kClearLending = 7,
  kRenameCd = 8,
  kChangeCdGroups = 9,
  kSearch = 10,
  kSerialExists = 11,
  kMarkMultigroupMembers = 12,
  kAppendMultigroup = 13,
  kShowMultigroup = 14,
  kImportGroups = 15,
  kRecalculateStructure = 16,
  kDatabaseStatistics = 17,
  kChangeItemComment = 18,
  kChangeItemGroups = 19,
  // Files stored on more than one disc (the duplicates window).
  kFindDuplicates = 20,
};

// How the user's locale writes dates, times and decimal numbers.
struct DisplayFormat {
  DateTimeFormat dateTime;
  std::string decimalPoint = ".";
};

// The group selector's fixed values.
inline constexpr std::string_view kGroupAll = "All";
inline constexpr std::string_view kGroupLent = "Půjčené";
inline constexpr std::string_view kGroupNotLent = "Nepůjčené";

// Opens the catalogue (the file behind any symbolic links) for one
// operation: read-only to read it, read-write for a change, which holds the
// write lock. A folder, device, FIFO or socket is refused.
std::unique_ptr<FileStream> OpenCatalogue(const std::string& path, bool forChange);

// Gives a missing or empty catalogue its header, under the write lock
// (waiting as wait allows). An existing catalogue is left alone.
void CreateCatalogueIfEmpty(const std::string& path, const LockWaiter& wait);

// The same for a caller that holds the write lock already.
void WriteHeaderIfEmpty(const std::string& path);

// True for the operations that write the catalogue.
bool ChangesCatalogue(OperationCode code);

class Engine {
 public:
  explicit Engine(EngineHost& host, DisplayFormat format = {});

  // Returns true only when operation 11 found PendingSerial. Failures of the
  // file itself propagate (IoError, DamagedCatalogue) except where the
  // operation reports them itself.
  bool RunOperation(OperationCode code);
  bool RunOperation(int code);

  // Double click (or space) on the disc list, acting on the first selected
  // row. Tells the window what it opened so it can switch its views.
  enum class Opened { kNothing, kGroupList, kMultigroup, kDisc };
  Opened OpenSelectedDisc();

  // Double click (or space) on the directory list, acting on the selected
  // row. Entering a directory or going up re-lists and sorts by name; ".."
  // at the root leaves browsing (the window then shows the disc list again).
  enum class Navigated { kNothing, kEntered, kWentUp, kLeftBrowsing };
  Navigated OpenSelectedItem();

  // Ends browsing: empties the directory list, DirStack and the path label.
  void LeaveBrowsing();

  // Opens a stored disc at its root: its block is read unless it is the one
  // cached, and the directory list shows the root.
  void OpenDiscRoot(const std::string& serial, const std::string& caption);

  // Another program changed the catalogue: the disc list (or the shown
  // multigroup) is listed again with the same discs selected, and the
  // browsed disc is read again and entered down the same folders as far as
  // they still exist, with the same items selected. Returns false when the
  // browsed disc is gone (browsing has then ended).
  bool RefreshFromFile(bool browsing);

  // Shows a search hit in its place: its disc opened and browsed down to
  // the hit's folder with the hit selected; a disc's own hit opens its
  // root, a multigroup's hit selects its row in the disc list. kGone when
  // the disc is no longer stored.
  enum class HitShown { kGone, kDiscList, kBrowsed };
  HitShown ShowSearchHit(const SearchResults::Place& place);

  // True while an operation runs (a window's events may run meanwhile).
  bool Busy() const { return running_ > 0; }

  // A click on a directory-list column header: SortColumn := column, sort;
  // the same column again reverses the order.
  void ClickDirColumn(int column);
  // Sorts the directory list by a column (navigation sorts by name).
  void SortDirList(int column, bool descending = false);

  // A click on a disc-list column header, the same for the disc list. The
  // column and order chosen stay for the next listing of the discs.
  void ClickDiscColumn(int column);
  void SortDiscList(int column, bool descending = false);

  // "[disc] \dir\dir" for the browsed position.
  std::string PathLabelText() const;

  // The whole "create multigroup" command after its name was typed: flags
  // the selected discs and appends the multigroup. More than 20 selected
  // discs are refused with a message before anything is written. Returns
  // the new multigroup's serial, or "" when nothing was created.
  std::string CreateMultigroup(const std::string& name);

  // Holds the catalogue's write lock for one change, waiting as the host
  // allows, unless an enclosing change of this engine holds it already.
  class ChangeLock {
   public:
    explicit ChangeLock(Engine& engine);
    ~ChangeLock();
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;

   private:
    Engine& engine_;
    std::unique_ptr<WriteLock> lock_;
  };

  const DisplayFormat& Format() const { return format_; }
  void SetFormat(DisplayFormat format) { format_ = std::move(format); }
  EngineHost& Host() { return host_; }

  // State kept between operations (texts in UTF-8).
  std::string DatabasePath;
  std::string LoadedSerial;
  std::string LoadedDiscName;
  std::vector<TOneDir> DirStack;
  std::uint16_t CurrentDepth = 0;
  MemoryStream BlockCache;
  int SortColumn = 0;
  bool SortDescending = false;
  // False while the directory list is in block order (the root listing
  // right after a disc was opened): no column is shown as the sort column.
  bool DirsSorted = false;
  // The disc list's order: by caption unless the user chose a column. A
  // multigroup's members are shown in file order (DiscsSorted false).
  int DiscSortColumn = 0;
  bool DiscSortDescending = false;
  bool DiscsSorted = false;
  std::string PendingSerial;
  std::string ShownMultigroup;  // the multigroup the disc list shows, or ""
  std::string RecalcSerial;     // a disc's serial, or "All"
  std::string GroupFilter{kGroupAll};
  CdHeader MultigroupTemplate;
  MemberList MultigroupMembers;
  // The settings store (group list) for the operations that register groups.
  Registry* Settings = nullptr;

  // The check box "Zobrazovat adresáře nepatřící do skupiny": when set, the
  // directory list shows items of every group.
  bool ShowForeignItems = false;

  // The window that runs operation 10, and the rows it finds.
  SearchHost* Search = nullptr;
  SearchResults Found;

  // The window (or command) that runs operation 20, and the groups found.
  DuplicateHost* DuplicateSearch = nullptr;
  DuplicateReport Duplicates;

  // What operation 17 found last.
  DatabaseStatistics Statistics;

  DiscList Discs;
  DirList Dirs;
  std::string PathLabel;

 private:
  void Dispatch(OperationCode code, FileStream& file, bool& result);
  void ListCds(FileStream& file);
  void ShowMultigroup(FileStream& file);
  bool SerialExists(FileStream& file);
  void LoadCdBlock(FileStream& file);
  void ShowDiscRoot();
  void ShowDirectory();
  void RecalculateStructure(FileStream& file);
  void SearchContents(FileStream& file);
  void FindDuplicateFiles(FileStream& file);
  // Runs a walk over the discs that notes each disc whose items are damaged
  // and goes on with the next; an error that ends the walk is noted last.
  // Everything noted is then named in one message.
  void WalkNamingDamage(const std::function<void(std::vector<std::string>& damaged)>& walk);
  void RemoveCds(FileStream& file);
  void ChangeLending(FileStream& file, OperationCode code);
  // The lending dialog, asked before the lock is taken so that other
  // programs need not wait while the user types. False: nothing to do.
  bool AskLendingName();
  std::string lendingName_;
  void RenameCd(FileStream& file);
  void ChangeCdGroups(FileStream& file);
  // inCopy: file is a fresh copy of the catalogue that will replace it.
  void MarkMultigroupMembers(FileStream& file, bool inCopy = false);
  void AppendMultigroup(FileStream& file);
  void ImportGroups(FileStream& file);
  void ChangeItem(FileStream& file, bool groups);
  // The comment or group dialog of the chosen item, asked before the lock
  // is taken, like the lending name; ChangeItem takes the answer. False
  // when nothing was chosen or the dialog was cancelled.
  bool AskItemChange(bool groups);
  std::optional<std::string> itemText_;
  std::optional<std::vector<std::string>> itemGroups_;
  void ComputeStatistics(FileStream& file);
  std::vector<std::string> SelectedSerials() const;
  // Offers every stored disc to change once per selected row that names it
  // (in file order) and rewrites its head in place when change says so.
  void ChangeSelectedHeads(FileStream& file, const std::function<bool(CdHeader&)>& change);
  // at: the item's offset in BlockCache.
  void AddItemRow(const ItemRecord& item, bool directory, const Cp1250Text& group,
                  std::uint32_t at);
  // Offset in BlockCache of the directory DirStack's top names.
  std::optional<std::uint64_t> LocateShownDirectory();
  DiscRow MakeDiscRow(const CdHeader& h, bool plainSizes) const;
  // Sorts the listed discs by caption, or by the column the user chose.
  void SortDiscsByCaption();

  // Which load of BlockCache the directory list was made from: a row's
  // offset is trusted only in that very block.
  std::uint64_t blockLoads_ = 0;
  std::uint64_t listedLoad_ = 0;
  std::string loadedDescription_;  // of the disc in BlockCache

  EngineHost& host_;
  DisplayFormat format_;
  bool lockHeld_ = false;
  int running_ = 0;
  std::mt19937 random_;
};

// Sets every directory's SubtreeLength in a disc's data block (the items,
// without the head) to what the structure recalculation writes there.
// Raises DamagedItems for items that do not fit the block.
void RecalculateBlock(std::vector<std::uint8_t>& block);

}  // namespace rondo
