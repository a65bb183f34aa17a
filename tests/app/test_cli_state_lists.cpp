// A state list option given more than once is one list.
#include <gtest/gtest.h>

#include <string>

#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file;
using testing::run_cli;

TEST(CliStateLists, AListGivenTwiceIsJoined) {
  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par"), drr = folder.file("weather.drr");
  WriteParamFile(par, support::temperate_forest());
  testing::write_daily_drivers(drr, 1, 40);
  const std::string files = "run --par '" + par + "' --drivers '" + drr + "' --stop 8 --out ";
  const std::string twice = folder.file("twice.out"), once = folder.file("once.out"),
                    free = folder.file("free.out");
  ASSERT_EQ(run_cli(files + "'" + twice +
                    "' --hold Cf --hold ' 2' --reset-every 3 --reset Wg "
                    "--reset Nf")
                .exit_code,
            0);
  ASSERT_EQ(run_cli(files + "'" + once + "' --hold Cf,2 --reset-every 3 --reset Wg,Nf").exit_code,
            0);
  ASSERT_EQ(run_cli(files + "'" + free + "' --hold Cf --reset-every 3 --reset Wg").exit_code, 0);
  EXPECT_TRUE(read_whole_file(twice) == read_whole_file(once));
  EXPECT_FALSE(read_whole_file(twice) == read_whole_file(free)) << "both lists count";
}

}  // namespace
}  // namespace vindrel
