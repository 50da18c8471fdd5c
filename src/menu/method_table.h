// The three methods by their menu letter, for the dialogue and for the command alike. Only these
// exact bytes select a method: no other letter can ever reach one.
#pragma once

#include <cstdint>
#include <string_view>

#include "menu/dialogue_texts.h"
#include "methods/methods.h"

namespace qv {

using MethodRun = void (*)(std::int32_t n);

struct MethodEntry {
  std::uint8_t letter;
  std::string_view title;       // the dialogue's heading, before the prompt for n
  std::string_view termPrompt;  // the dialogue's prompt for n
  MethodRun run;                // in the dialogue
  MethodRun runUnwatched;       // in a command run, where nobody answers a pause
  MethodRun runRows;            // for --csv: what becomes rows, nothing else
};

inline constexpr MethodEntry methodTable[] = {
    {'a', dialogue::continuedFractionTitle, dialogue::repetitionsPrompt,
     approximateByContinuedFraction, approximateByContinuedFraction,
     approximateByContinuedFraction},
    {'b', dialogue::nestedRadicalsTitle, dialogue::repetitionsPrompt, approximateByNestedRadicals,
     approximateByNestedRadicals, approximateByNestedRadicals},
    {'c', dialogue::fibonacciTitle, dialogue::elementsPrompt, approximateByFibonacci,
     approximateByFibonacciWithoutPause, approximateByFibonacciRatios},
};

// The menu's name of a method, its entry without the "[a] " in front ("funzione continua").
inline std::string_view methodMenuName(std::uint8_t letter) {
  const std::string_view entry = letter == 'a'   ? dialogue::continuedFractionEntry
                                 : letter == 'b' ? dialogue::nestedRadicalsEntry
                                                 : dialogue::fibonacciEntry;
  return entry.substr(4);
}

// nullptr for a letter that names no method.
inline const MethodEntry* findMethod(std::uint8_t letter) {
  for (const MethodEntry& entry : methodTable) {
    if (entry.letter == letter) return &entry;
  }
  return nullptr;
}

}  // namespace qv
