// Every text the menu shows, in one place (the methods' own texts and the colours are in
// methods/method_texts.h). Each text is written whole with field width 0, so the lengths
// checked below are exactly what reaches the screen.
#pragma once

#include <string_view>

#include "methods/method_texts.h"

namespace qv::dialogue {

// The menu.
inline constexpr std::string_view banner =
    "~~~~ QUORVENDALIST ~~~~                                          Tarquelmorvina";
inline constexpr std::string_view menuQuestion =
    "Scegli il tipo di algoritmo tramite cui vuoi calcolare un'approssimazione di phi";
inline constexpr std::string_view continuedFractionEntry = "[a] funzione continua";
inline constexpr std::string_view nestedRadicalsEntry = "[b] radici nidificate";
inline constexpr std::string_view fibonacciEntry = "[c] sequenza di Fibonacci";
inline constexpr std::string_view prompt = "=>";

// The method titles and their prompts for n.
inline constexpr std::string_view continuedFractionTitle = "FUNZIONE CONTINUA";
inline constexpr std::string_view nestedRadicalsTitle = "RADICI NIDIFICATE";
inline constexpr std::string_view fibonacciTitle = "SEQUENZA DI FIBONACCI";
inline constexpr std::string_view repetitionsPrompt =
    "Inserisci il numero n di volte che si desidera ripetere il ciclo";
inline constexpr std::string_view elementsPrompt =
    "Inserisci il numero n di elementi della sequenza di Fibonacci [<47]";

// The exit question and the two words that leave; case matters and nothing is trimmed.
inline constexpr std::string_view exitQuestion = "Type 'esci' to exit or press enter to continue";
inline constexpr std::string_view exitWordLower = "esci";
inline constexpr std::string_view exitWordUpper = "ESCI";

// The layout of the screen depends on these lengths (the 80-character question fills a row of
// a standard console and wraps), so a slip of one blank must not go unnoticed.
static_assert(banner.size() == 79);
static_assert(menuQuestion.size() == 80);
static_assert(continuedFractionEntry.size() == 21 && nestedRadicalsEntry.size() == 21);
static_assert(fibonacciEntry.size() == 25);
static_assert(continuedFractionTitle.size() == 17 && nestedRadicalsTitle.size() == 17);
static_assert(fibonacciTitle.size() == 21);
static_assert(repetitionsPrompt.size() == 64 && elementsPrompt.size() == 67);
static_assert(exitQuestion.size() == 46);

}  // namespace qv::dialogue
