// Fixed texts the catalogue engine shows.
#pragma once

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

}  // namespace rondo::msg
