// The module table: initialised in order, finalised in the reverse order, and only as far as
// initialisation got.
#include "textio/startup.h"

#include <gtest/gtest.h>

#include <string>

#include "run_error_child.h"

namespace qv {
namespace {

std::string steps;

void init1() {
  steps += "i1 ";
}
void init3() {
  steps += "i3 ";
}
void init4() {
  steps += "i4 ";
}
void final1() {
  steps += "f1 ";
}
void final2() {
  steps += "f2 ";
}
void final4() {
  steps += "f4 ";
}

class ModuleTableTest : public ::testing::Test {
 protected:
  void SetUp() override { steps.clear(); }
  void TearDown() override { resetStartupState(); }
};

TEST_F(ModuleTableTest, FinalisesInTheReverseOrderOfInitialisation) {
  moduleTable = {4, 0, {{init1, final1}, {nullptr, final2}, {init3, nullptr}, {init4, final4}}};
  initializeModules();
  EXPECT_EQ(moduleTable.initialisedCount, 4);
  finalizeModules();
  finalizeModules();  // a second end finds nothing left to finalise
  EXPECT_EQ(steps, "i1 i3 i4 f4 f2 f1 ");
  EXPECT_EQ(moduleTable.initialisedCount, 0);
}

TEST_F(ModuleTableTest, OnlyModulesWhoseInitialisationCompletedAreFinalised) {
  moduleTable = {4, 2, {{init1, final1}, {nullptr, final2}, {init3, nullptr}, {init4, final4}}};
  finalizeModules();
  EXPECT_EQ(steps, "f2 f1 ");
}

// Start-up leaves extended precision, rounding to nearest and the same three traps in both
// units, and no exception flag raised.
TEST(StartupTest, SetsTheArithmeticModeOfTheWholeProgram) {
  const auto end = testing_child::runScenario("normal");
  ASSERT_TRUE(end.finished);
  EXPECT_EQ(end.output, "restored control=1372 status=0000 mxcsr=00001900\r\n");
}

}  // namespace
}  // namespace qv
