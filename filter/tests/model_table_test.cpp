// The model table and the compiled PPDs describe the same printers: the
// same sizes, options, choices and defaults, and the filter reads the same
// job settings from a PPD's defaults as the table gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include <cups/ppd.h>

#include "models.h"
#include "settings.h"

namespace {

double Points(int hundredthsMm) { return hundredthsMm * 72.0 / 2540.0; }

class ModelTable : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override {
    model_ = &quillet::kModels[GetParam()];
    const std::string path = std::string(QUILLET_PPD_DIR) + "/" + model_->ppdFile;
    ppd_ = ppdOpenFile(path.c_str());
    ASSERT_NE(ppd_, nullptr) << path;
    ppdMarkDefaults(ppd_);
  }
  void TearDown() override {
    if (ppd_) ppdClose(ppd_);
  }
  const quillet::Model *model_ = nullptr;
  ppd_file_t *ppd_ = nullptr;
};

TEST_P(ModelTable, IdentityAndMediaMatchThePpd) {
  EXPECT_STREQ(ppd_->modelname, model_->modelName);
  EXPECT_EQ(ppd_->model_number, model_->modelNumber);
  ppd_attr_t *resolution = ppdFindAttr(ppd_, "DefaultResolution", nullptr);
  ASSERT_NE(resolution, nullptr);
  EXPECT_EQ(std::string(resolution->value), std::to_string(model_->dpi) + "dpi");

  ppd_option_t *pageSize = ppdFindOption(ppd_, "PageSize");
  ASSERT_NE(pageSize, nullptr);
  // A PPD with custom sizes lists "Custom" as a last choice.
  const size_t fixedSizes = static_cast<size_t>(pageSize->num_choices) -
                            (ppd_->variable_sizes && pageSize->num_choices > 0 ? 1 : 0);
  ASSERT_EQ(fixedSizes, model_->numMedia);
  for (size_t i = 0; i < model_->numMedia; ++i) {
    const quillet::MediaSize &media = model_->media[i];
    EXPECT_STREQ(pageSize->choices[i].choice, media.ppdName);
    ppd_size_t *size = ppdPageSize(ppd_, media.ppdName);
    ASSERT_NE(size, nullptr) << media.ppdName;
    EXPECT_NEAR(size->width, Points(media.width), 0.5) << media.ppdName;
    EXPECT_NEAR(size->length, Points(media.length), 0.5) << media.ppdName;
    EXPECT_NEAR(size->left, 0, 0.01);
    EXPECT_NEAR(size->bottom, 0, 0.01);
  }
  EXPECT_STREQ(pageSize->defchoice, model_->media[model_->defaultMedia].ppdName);

  EXPECT_EQ(ppd_->variable_sizes != 0, model_->maxWidth != 0);
  if (ppd_->variable_sizes) {
    EXPECT_NEAR(ppd_->custom_min[0], Points(model_->minWidth), 0.5);
    EXPECT_NEAR(ppd_->custom_min[1], Points(model_->minLength), 0.5);
    EXPECT_NEAR(ppd_->custom_max[0], Points(model_->maxWidth), 0.5);
    EXPECT_NEAR(ppd_->custom_max[1], Points(model_->maxLength), 0.5);
  }
}

TEST_P(ModelTable, OptionsChoicesAndDefaultsMatchThePpd) {
  std::set<std::string> seen;
  for (int g = 0; g < ppd_->num_groups; ++g) {
    for (int o = 0; o < ppd_->groups[g].num_options; ++o) {
      const ppd_option_t &option = ppd_->groups[g].options[o];
      if (std::strncmp(option.keyword, "OP_", 3) != 0) continue;
      seen.insert(option.keyword);
      const quillet::OptionSpec *entry = quillet::FindOption(*model_, option.keyword);
      ASSERT_NE(entry, nullptr) << option.keyword << " is missing from the table";
      std::string choices, expected;
      for (int c = 0; c < option.num_choices; ++c) choices += std::string(option.choices[c].choice) + " ";
      if (entry->boolean) {
        expected = "True False ";
        EXPECT_STREQ(option.defchoice, entry->defaultValue ? "True" : "False");
      } else {
        for (int32_t v = entry->min; v <= entry->max; ++v) expected += std::to_string(v) + " ";
        EXPECT_EQ(std::atoi(option.defchoice), entry->defaultValue) << option.keyword;
      }
      EXPECT_EQ(choices, expected) << option.keyword;
    }
  }
  EXPECT_EQ(seen.size(), model_->numOptions);

  settings_ fromPpd{};
  initializeSettings(ppd_, &fromPpd);
  const settings_ fromTable = quillet::DefaultSettings(*model_);
  EXPECT_EQ(std::memcmp(&fromPpd, &fromTable, sizeof fromPpd), 0);
}

INSTANTIATE_TEST_SUITE_P(AllModels, ModelTable, ::testing::Range<size_t>(0, quillet::kNumModels));

}  // namespace
