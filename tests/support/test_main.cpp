// The main function of every test program: GoogleTest, or a child process that a test started
// (testsupport::ChildProcess).
#include <gtest/gtest.h>

#include "support/test_support.h"

int main(int argc, char** argv) {
  const int child = testsupport::RunChildIfAsked(argc, argv);
  if (child >= 0) return child;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
