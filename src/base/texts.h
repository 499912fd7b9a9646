#pragma once
// Every text the user sees comes in two forms, Russian and English. The program keeps one
// language selector for the whole run and picks a pair's element when the text is shown.

#include <QString>

#include <cstdint>

namespace quilex {

// A text in both languages. The members point at string literals that live for the whole run.
struct TextPair {
    const char16_t* russian;
    const char16_t* english;
};

inline constexpr std::uint8_t LanguageRussian = 0;
inline constexpr std::uint8_t LanguageEnglish = 1;

// The language in use: 0 Russian (at every start), 1 English. Safe to read from the exchange
// thread while the user switches languages on the interface thread.
std::uint8_t languageIndex();
// Anything other than 1 selects Russian, so the selector never holds a third value.
void setLanguageIndex(std::uint8_t index);

// The pair's text in the language in use.
QString Text(const TextPair& pair);
// The pair's text in the given language (anything other than 1 reads as Russian).
QString Text(const TextPair& pair, std::uint8_t index);

} // namespace quilex
