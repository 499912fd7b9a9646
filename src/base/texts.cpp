#include "base/texts.h"

#include <atomic>

namespace quilex {

namespace {
std::atomic<std::uint8_t> currentLanguage{LanguageRussian};
}

std::uint8_t languageIndex()
{
    return currentLanguage.load(std::memory_order_relaxed);
}

void setLanguageIndex(std::uint8_t index)
{
    currentLanguage.store(index == LanguageEnglish ? LanguageEnglish : LanguageRussian,
                          std::memory_order_relaxed);
}

QString Text(const TextPair& pair, std::uint8_t index)
{
    const char16_t* text = index == LanguageEnglish ? pair.english : pair.russian;
    return text ? QString::fromUtf16(text) : QString();
}

QString Text(const TextPair& pair)
{
    return Text(pair, languageIndex());
}

} // namespace quilex
