// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed texts the catalogue engine shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rondo::msg {

inline constexpr std::string_view kOldFormatQuestion =
    "Databáze má zřejmě starý formát.\r\nChcete nyní provést aktualizaci?";
inline constexpr std::string_view kErrorPrefix = "Nastala chyba! - ";
inline constexpr std::string_view kListErrorAdvice =
    "\r\n\r\nPokud máte datový soubor ze starší verze, odstraňte ho!\r\n\r\nUkončete program";
// Appended to the reason when a conversion was refused or failed.
inline constexpr std::string_view kFileUnchanged = " Soubor zůstal beze změny.";
inline constexpr std::string_view kRecalcErrorPrefix = "Chyba: ";
inline constexpr std::string_view kRecalcCancelQuestion =
    "Opravdu chtete přerušit zpracovávání? (Nedoporučuje se)";
inline constexpr std::string_view kRemoveQuestion = "Opravdu chcete vybrané položky odstranit?";
inline constexpr std::string_view kImportDone = "Import skupin proveden.";
inline constexpr std::string_view kCommentTooLong =
    "Komentář se skupinami by měl více než 255 znaků, a tolik položka neunese. Nic nebylo "
    "změněno; zkraťte prosím text.";
inline constexpr std::string_view kNoDatabasePath = "Není nastavena cesta k databázi.";
inline constexpr std::string_view kNothingChanged = " Nic nebylo změněno.";

// An item edit whose item another program has changed since it was listed.
inline std::string ItemGone(const std::string& name) {
  return "Položka „" + name +
         "“ už v databázi na svém místě není, jiný program databázi mezitím změnil. Nic nebylo "
         "změněno.";
}
inline std::string ItemAmbiguous(const std::string& name) {
  return "Položku „" + name +
         "“ nelze v databázi jednoznačně najít: jiný program databázi mezitím změnil a v "
         "adresáři je více položek stejného jména a velikosti. Nic nebylo změněno.";
}

// The borrowed-discs list.
inline std::string BorrowedStrayBytes(const std::string& path, std::uint64_t bytes) {
  return "Seznam půjčených CD „" + path + "“ končí neúplným záznamem (" + std::to_string(bytes) +
         " B); zobrazeny jsou jen celé záznamy.";
}
inline std::string BorrowedRewritten(const std::string& path, const std::string& copy) {
  return "Seznam půjčených CD „" + path +
         "“ končil neúplným záznamem. Původní soubor je uložen jako „" + copy +
         "“, seznam byl zapsán znovu s celými záznamy.";
}
// A typed date that is not one.
inline std::string NotADate(const std::string& text) {
  return "„" + text + "“ není platné datum.";
}

}  // namespace rondo::msg
