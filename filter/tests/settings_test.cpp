// Job settings from PPD options and job options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings.h"
#include "test_support.h"

using quillet_test::Capture;
using quillet_test::MakePpd;
using quillet_test::PpdOption;
using quillet_test::TempDir;

namespace {

// Opens a PPD text as the filter does (defaults marked); closes on scope exit.
class OpenedPpd {
 public:
  explicit OpenedPpd(const std::string &text) {
    ppd_ = ppdOpenFile(dir_.Write("test.ppd", text).c_str());
    if (ppd_) ppdMarkDefaults(ppd_);
  }
  ~OpenedPpd() {
    if (ppd_) ppdClose(ppd_);
  }
  ppd_file_t *get() const { return ppd_; }

 private:
  TempDir dir_;
  ppd_file_t *ppd_ = nullptr;
};

settings_ SettingsOf(const std::string &ppdText) {
  OpenedPpd ppd(ppdText);
  EXPECT_NE(ppd.get(), nullptr);
  settings_ settings;
  initializeSettings(ppd.get(), &settings);
  return settings;
}

TEST(Settings, PpdWithoutPrinterOptionsGivesZerosButModelNumber) {
  const settings_ s = SettingsOf(MakePpd(1001, PpdOption("Resolution", {"203dpi"}, "203dpi")));
  settings_ expected{};
  expected.modelNumber = 1001;
  EXPECT_EQ(0, std::memcmp(&s, &expected, sizeof s));
}

TEST(Settings, NullPpdClearsEveryField) {
  settings_ s;
  std::memset(&s, 0x5A, sizeof s);
  initializeSettings(nullptr, &s);
  const settings_ zero{};
  EXPECT_EQ(0, std::memcmp(&s, &zero, sizeof s));
}

// Every option lands in its own field: distinct values catch swapped fields
// (the speed is stored before the print density although read after it).
TEST(Settings, EachOptionFillsItsField) {
  const std::vector<std::pair<std::string, std::string>> options = {
      {"OP_PrintDensity", "11"}, {"OP_PrintSpeed", "12"},        {"OP_LabelGAP", "13"},
      {"OP_PaperSel", "14"},     {"OP_MediaSel", "15"},          {"OP_AfterDo", "16"},
      {"OP_CutPage", "17"},      {"OP_OFFSet", "18"},            {"OP_Rotate", "19"},
      {"OP_Mirror", "20"},       {"OP_ReversePhase", "21"},      {"OP_HorizontalOffset", "-3"},
      {"OP_VerticalOffset", "23"}, {"OP_RememberToPrint", "24"}, {"OP_PaperType", "25"},
      {"OP_Density", "26"},      {"OP_HalfTone", "True"},        {"OP_Direction", "28"}};
  std::string text;
  for (const auto &[key, value] : options) text += PpdOption(key, {"0", value}, value);
  const settings_ s = SettingsOf(MakePpd(2, text));

  EXPECT_EQ(s.modelNumber, 2);
  EXPECT_EQ(s.reserved, 0);
  EXPECT_EQ(s.printSpeed, 12);
  EXPECT_EQ(s.printDensity, 11);
  EXPECT_EQ(s.labelGap, 13);
  EXPECT_EQ(s.paperSel, 14);
  EXPECT_EQ(s.mediaSel, 15);
  EXPECT_EQ(s.afterDo, 16);
  EXPECT_EQ(s.cutPage, 17);
  EXPECT_EQ(s.offset, 18);
  EXPECT_EQ(s.rotate, 19);
  EXPECT_EQ(s.mirror, 20);
  EXPECT_EQ(s.reversePhase, 21);
  EXPECT_EQ(s.horizontalOffset, -3);
  EXPECT_EQ(s.verticalOffset, 23);
  EXPECT_EQ(s.rememberToPrint, 24);
  EXPECT_EQ(s.paperType, 25);
  EXPECT_EQ(s.density, 26);
  EXPECT_EQ(s.halfTone, 1);
  EXPECT_EQ(s.direction, 28);
}

TEST(Settings, IntegerRuleTakesTheLeadingNumberOfTheKeyword) {
  OpenedPpd ppd(MakePpd(2, PpdOption("OP_LabelGAP", {"12mm"}, "12mm") +
                               PpdOption("OP_OFFSet", {"Auto"}, "Auto") +
                               PpdOption("OP_Density", {"5"}, "Missing")));
  ASSERT_NE(ppd.get(), nullptr);
  EXPECT_EQ(getOptionChoiceIndex("OP_LabelGAP", ppd.get()), 12);
  EXPECT_EQ(getOptionChoiceIndex("OP_OFFSet", ppd.get()), 0);
  // A default that names no choice, and an option the PPD lacks.
  EXPECT_EQ(getOptionChoiceIndex("OP_Density", ppd.get()), 0);
  EXPECT_EQ(getOptionChoiceIndex("OP_Rotate", ppd.get()), 0);
  EXPECT_EQ(getOptionChoiceIndex("OP_Rotate", nullptr), 0);
}

TEST(Settings, BooleanRuleWords) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"TRUE", 1},  {"yes", 1}, {"Enabled", 1}, {"1", 1},  {"7", 1},   {"On", 1},
      {"-2", 1},    {"False", 0}, {"off", 0},   {"0", 0},  {"auto", 0}, {"No", 0},
      {"Disabled", 0}, {"7x", 0}, {"00", 0}};
  for (const auto &[keyword, value] : cases) {
    OpenedPpd ppd(MakePpd(2, PpdOption("OP_HalfTone", {keyword}, keyword)));
    ASSERT_NE(ppd.get(), nullptr) << keyword;
    EXPECT_EQ(getBooleanOption("OP_HalfTone", ppd.get()), value) << keyword;
  }
}

// A PPD file cannot spell an empty choice keyword; build the record by hand
// the way the PPD reader lays it out.
TEST(Settings, BooleanRuleEmptyKeywordAndMissingOption) {
  ppd_choice_t choice{};
  ppd_option_t option{};
  std::strcpy(option.keyword, "OP_HalfTone");
  option.num_choices = 1;
  option.choices = &choice;
  choice.option = &option;
  ppd_group_t group{};
  group.num_options = 1;
  group.options = &option;
  ppd_file_t ppd{};
  ppd.num_groups = 1;
  ppd.groups = &group;

  EXPECT_EQ(getBooleanOption("OP_HalfTone", &ppd), 0);
  EXPECT_EQ(getBooleanOption("OP_Mirror", &ppd), 0);
  EXPECT_EQ(getBooleanOption("OP_HalfTone", nullptr), 0);
}

// InitializeWithSetting reads $PPD and the process environment; keep both
// as the test found them.
class InitializeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *name : {"PPD", "LANG", "APPLE_LANGUAGE"}) {
      const char *value = std::getenv(name);
      saved_.push_back({name, value ? value : "", value != nullptr});
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (const Saved &s : saved_) {
      if (s.set) setenv(s.name.c_str(), s.value.c_str(), 1);
      else unsetenv(s.name.c_str());
    }
  }

  // Runs InitializeWithSetting on the arguments; returns what it wrote to
  // stderr and leaves the PPD handle in ppd_.  The arguments are kept, as
  // JobInfo points into them.
  std::string Run(std::vector<std::string> args) {
    args_ = std::move(args);
    std::vector<char *> argv;
    for (std::string &a : args_) argv.push_back(a.data());
    argv.push_back(nullptr);
    return Capture(stderr, [&] {
      ppd_ = InitializeWithSetting(static_cast<int32_t>(args_.size()), argv.data(), &job_,
                                   &settings);
    });
  }

  void ReleaseJob() {
    if (ppd_) ppdClose(ppd_);
    cupsFreeOptions(job_.numOptions, job_.options);
    ppd_ = nullptr;
    job_ = JobInfo{};
  }

  struct Saved {
    std::string name, value;
    bool set;
  };
  std::vector<Saved> saved_;
  std::vector<std::string> args_;
  TempDir dir_;
  JobInfo job_;
  settings_ settings{};
  ppd_file_t *ppd_ = nullptr;
};

TEST_F(InitializeTest, WrongArgumentCountPrintsUsage) {
  for (size_t count : {size_t{5}, size_t{8}}) {
    std::vector<std::string> args = {"rastertoquillet", "1", "u", "t", "1", "", "f", "x"};
    args.resize(count);
    EXPECT_EQ(Run(args), "Usage: rastertoquillet job user title copies options [filename]\n");
    EXPECT_EQ(ppd_, nullptr);
  }
}

TEST_F(InitializeTest, PpdThatCannotBeOpenedIsReported) {
  setenv("PPD", (dir_.path() + "/absent.ppd").c_str(), 1);
  EXPECT_EQ(Run({"rastertoquillet", "1", "u", "t", "1", ""}),
            "ERROR: Unable to open PPD file: No such file or directory\n");
  EXPECT_EQ(ppd_, nullptr);
  ReleaseJob();

  unsetenv("PPD");
  const std::string err = Run({"rastertoquillet", "1", "u", "t", "1", ""});
  EXPECT_EQ(err.rfind("ERROR: Unable to open PPD file: ", 0), 0u) << err;
  EXPECT_EQ(err.find("Success"), std::string::npos) << err;
  EXPECT_EQ(ppd_, nullptr);
  ReleaseJob();
}

TEST_F(InitializeTest, JobOptionsOverridePpdDefaults) {
  setenv("PPD",
         dir_.Write("job.ppd", MakePpd(7, PpdOption("OP_PrintSpeed", {"2", "4", "6"}, "2") +
                                              PpdOption("OP_Density", {"3", "9"}, "9")))
             .c_str(),
         1);
  EXPECT_EQ(Run({"rastertoquillet", "42", "alice", "Report", "1", "OP_PrintSpeed=4 media=A4"}),
            "");
  ASSERT_NE(ppd_, nullptr);
  EXPECT_EQ(job_.jobId, 42);
  EXPECT_STREQ(job_.user, "alice");
  EXPECT_STREQ(job_.title, "Report");
  EXPECT_EQ(job_.numOptions, 2);
  EXPECT_EQ(settings.modelNumber, 7);
  EXPECT_EQ(settings.printSpeed, 4);
  EXPECT_EQ(settings.density, 9);
  ReleaseJob();
}

}  // namespace
