// libFuzzer's start, called as libFuzzer calls it: every path on a command line
// comes back absolute against the folder the run started in, flags that name
// no path come back as they were, and a crash file goes to the starting folder
// unless the run says where. Built with GCC: no libFuzzer is needed to see
// what libFuzzer would be given.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

class LibFuzzerStart : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = fs::current_path();
    std::string name = (fs::temp_directory_path() / "fuzzstartXXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    dir_ = fs::canonical(name);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(before_);
    fs::remove_all(dir_);
  }

  // The command line libFuzzer reads after the start, without argv[0].
  std::vector<std::string> Start(const std::vector<std::string>& flags) {
    std::vector<std::string> given = {"fuzz_target"};
    given.insert(given.end(), flags.begin(), flags.end());
    std::vector<char*> argv;
    for (std::string& a : given) argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(given.size());
    char** p = argv.data();
    EXPECT_EQ(LLVMFuzzerInitialize(&argc, &p), 0);
    EXPECT_EQ(p[0], argv[0]) << "libFuzzer refuses a changed argv[0]";
    EXPECT_EQ(p[argc], nullptr);
    return std::vector<std::string>(p + 1, p + argc);
  }

  std::string In(const std::string& path) const { return (dir_ / path).string(); }

  fs::path before_, dir_;
};

TEST_F(LibFuzzerStart, PathsMeanWhatTheyMeantWhereTheRunStarted) {
  const std::string here = In("");
  struct Case {
    std::vector<std::string> given, expected;
  };
  const Case cases[] = {
      // A relative corpus; crash files go where the run started.
      {{"corpus/draw"}, {"-artifact_prefix=" + here, In("corpus/draw")}},
      {{"-artifact_prefix=out/", "seeds"}, {"-artifact_prefix=" + In("out/"), In("seeds")}},
      // A prefix that is no folder is the start of a file name.
      {{"-artifact_prefix=crash-"}, {"-artifact_prefix=" + In("crash-")}},
      // An empty prefix is the starting folder itself.
      {{"-artifact_prefix=", "seeds"}, {"-artifact_prefix=" + here, In("seeds")}},
      // A folder that is not there yet is named where it would be.
      {{"-artifact_prefix=not/yet/"}, {"-artifact_prefix=" + In("not/yet/")}},
      {{"-artifact_prefix=/abs/out/"}, {"-artifact_prefix=/abs/out/"}},
      {{"-exact_artifact_path=crash.bin", "-dict=words.dict", "-stop_file=stop"},
       {"-artifact_prefix=" + here, "-exact_artifact_path=" + In("crash.bin"), "-dict=" + In("words.dict"),
        "-stop_file=" + In("stop")}},
      // Flags that name no path stay as they are; an empty path names nothing.
      {{"-runs=100", "-max_len=64", "-fork=3", "-timeout=20", "-dict=", "/abs/corpus"},
       {"-artifact_prefix=" + here, "-runs=100", "-max_len=64", "-fork=3", "-timeout=20", "-dict=", "/abs/corpus"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given.front());
    EXPECT_EQ(Start(c.given), c.expected);
  }
}

TEST_F(LibFuzzerStart, SeedInputListsAreGivenInlineAndAbsolute) {
  std::ofstream("list") << "one,sub/two,/abs/three";
  EXPECT_EQ(Start({"-seed_inputs=a,sub/b,/abs/c"}),
            (std::vector<std::string>{"-artifact_prefix=" + In(""), "-seed_inputs=" + In("a") + "," + In("sub/b") +
                                                                          ",/abs/c"}));
  EXPECT_EQ(Start({"-seed_inputs=@list"}),
            (std::vector<std::string>{"-artifact_prefix=" + In(""), "-seed_inputs=" + In("one") + "," +
                                                                          In("sub/two") + ",/abs/three"}));
  // A list that cannot be read is reported by libFuzzer, from the same place.
  EXPECT_EQ(Start({"-seed_inputs=@no_list"}),
            (std::vector<std::string>{"-artifact_prefix=" + In(""), "-seed_inputs=@" + In("no_list")}));
}

TEST_F(LibFuzzerStart, ArgumentsAfterIgnoreRemainingArgsAreTheTargetsOwn) {
  // The prefix goes first: libFuzzer reads no flag after the switch, and a
  // prefix among the target's own arguments is not libFuzzer's.
  EXPECT_EQ(Start({"-runs=1", "corpus", "-ignore_remaining_args=1", "-artifact_prefix=mine", "relative"}),
            (std::vector<std::string>{"-artifact_prefix=" + In(""), "-runs=1", In("corpus"),
                                      "-ignore_remaining_args=1", "-artifact_prefix=mine", "relative"}));
  EXPECT_EQ(Start({"-ignore_remaining_args=0", "corpus"}),
            (std::vector<std::string>{"-artifact_prefix=" + In(""), "-ignore_remaining_args=0", In("corpus")}));
}

}  // namespace
