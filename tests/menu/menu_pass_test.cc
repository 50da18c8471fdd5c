// Whole passes of the dialogue on an in-memory console: what stands on each row, in which
// colour, and where the cursor waits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "menu/dialogue_run.h"

namespace qv {
namespace {

using testsupport::DialogueEnd;
using testsupport::runDialogue;
using testsupport::ScreenShot;

constexpr std::uint8_t startAttribute = 0x07;  // what the console reports at start-up
constexpr std::uint8_t lightGreen = 0x0A;
constexpr std::uint8_t lightRed = 0x0C;
constexpr std::uint8_t yellow = 0x0E;
constexpr std::uint8_t white = 0x0F;

struct ExpectedRow {
  std::string text;
  std::uint8_t colour;  // of the row's written characters; unused for empty rows
};

// Every written character of the row has the colour; the rest of the row is blank.
void expectRow(const ScreenShot& screen, int row, const ExpectedRow& expected) {
  SCOPED_TRACE("row " + std::to_string(row));
  EXPECT_EQ(screen.rowText(row), expected.text);
  for (int column = 0; column < static_cast<int>(expected.text.size()); ++column) {
    EXPECT_EQ(screen.cell(column, row).attribute, expected.colour) << "column " << column;
  }
}

TEST(MenuPass, ContinuedFractionOfFiveAsTheUserSeesIt) {
  const auto outcome = runDialogue("a\r5\r");
  ASSERT_EQ(outcome.end, DialogueEnd::waitingForKeys) << outcome.screen.dump();
  const ScreenShot& screen = outcome.screen;
  ASSERT_EQ(screen.rows, 50);

  const std::string banner = "~~~~ QUORVENDALIST ~~~~" + std::string(42, ' ') + "Tarquelmorvina";
  const std::vector<ExpectedRow> rows = {
      {banner, lightGreen},
      {"", 0},
      {"Scegli il tipo di algoritmo tramite cui vuoi calcolare un'approssimazione di phi", white},
      {"", 0},  // the 80-character line filled its row before its line end
      {"[a] funzione continua", white},
      {"[b] radici nidificate", white},
      {"[c] sequenza di Fibonacci", white},
      {"", 0},
      {"=>a", white},
      {"", 0},
      {"FUNZIONE CONTINUA", yellow},
      {"Inserisci il numero n di volte che si desidera ripetere il ciclo", white},
      {"5", white},
      {"", 0},
      {"", 0},
      {"2.000000000000000", white},
      {"1.500000000000000", white},
      {"1.666666666666667", white},
      {"1.600000000000000", white},
      {"1.625000000000000", white},
      {"", 0},
      {"phi~= 1.625000000000000", lightRed},
      {"", 0},
      {"", 0},
      {"", 0},
      {"Type 'esci' to exit or press enter to continue", yellow},
      {"=>", yellow},
      {"", 0},
  };
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) expectRow(screen, row, rows[row]);
  for (int row = static_cast<int>(rows.size()); row < screen.rows; ++row) {
    EXPECT_EQ(screen.rowText(row), "") << "row " << row;
  }
  // The first pass clears with the attribute the console started with.
  EXPECT_EQ(screen.cell(79, 49).attribute, startAttribute);
  EXPECT_EQ(screen.cursor.x, 2);
  EXPECT_EQ(screen.cursor.y, 26);
}

// After a pass the screen is cleared again, now with the yellow left over from the exit
// question, and nothing of the previous pass remains.
TEST(MenuPass, NextPassStartsOnAClearedScreen) {
  const auto outcome = runDialogue("a\r5\r\r");
  ASSERT_EQ(outcome.end, DialogueEnd::waitingForKeys) << outcome.screen.dump();
  const ScreenShot& screen = outcome.screen;
  EXPECT_EQ(screen.rowText(8), "=>");
  for (int row = 9; row < screen.rows; ++row) EXPECT_EQ(screen.rowText(row), "") << row;
  EXPECT_EQ(screen.cell(79, 49).attribute, yellow);
  EXPECT_EQ(screen.cell(0, 0).attribute, lightGreen);
  EXPECT_EQ(screen.cursor.x, 2);
  EXPECT_EQ(screen.cursor.y, 8);
}

// The pause line keeps the cursor behind its three full stops until Enter.
TEST(MenuPass, FibonacciWaitsForEnterBeforeTheRatios) {
  const auto waiting = runDialogue("c\r4\r");
  ASSERT_EQ(waiting.end, DialogueEnd::waitingForKeys) << waiting.screen.dump();
  EXPECT_EQ(waiting.screen.rowText(10), "SEQUENZA DI FIBONACCI");
  EXPECT_EQ(waiting.screen.rowText(11),
            "Inserisci il numero n di elementi della sequenza di Fibonacci [<47]");
  EXPECT_EQ(waiting.screen.rowText(15), "Sequenza di Fibonacci fino al 4esimo elemento:");
  EXPECT_EQ(waiting.screen.rowText(16), "1  1  2  3");
  EXPECT_EQ(waiting.screen.rowText(18),
            "Premi invio per calcolare phi dalla sequenza di Fibonacci...");
  EXPECT_EQ(waiting.screen.findRow("1.000000000000000"), -1);
  EXPECT_EQ(waiting.screen.cursor.x, 60);
  EXPECT_EQ(waiting.screen.cursor.y, 18);
}

}  // namespace
}  // namespace qv
