// The editor's configuration table: thirteen records, the same parameter
// definitions as the plug-in's own table, and skin images whose sizes fit
// the positions the table gives.
#include "tremolo/QuillbarTremoloUIConfig.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "raster/lice_png.h"
#include "tremolo/QuillbarTremoloConfig.h"

namespace {

std::string SkinPath(const std::string& relative) { return std::string(QUILL_SOURCE_DIR) + "/tremolo/" + relative; }

}  // namespace

TEST(TremoloUIConfig, HasThirteenRecordsElevenBoundToParametersZeroToTenInOrder) {
  QuillbarTremoloUIConfig config;
  ASSERT_EQ(config.Size(), 13);
  EXPECT_EQ(config.GetNumVSTParams(), 11);
  int bound = 0;
  for (int i = 0; i < config.Size(); ++i) {
    const ControlProperty* p = config.Get(i);
    ASSERT_NE(p, nullptr);
    if (!p->isParam) continue;
    EXPECT_EQ(p->paramIdx, bound) << "record " << i;
    ++bound;
  }
  EXPECT_EQ(bound, 11);
  EXPECT_EQ(config.Get(-1), nullptr);
  EXPECT_EQ(config.Get(13), nullptr);
  EXPECT_EQ(config.FindParam(11), nullptr);
}

TEST(TremoloUIConfig, ParameterDefinitionsMatchThePluginsParameterTable) {
  QuillbarTremoloUIConfig config;
  for (int i = 0; i < kNumParams; ++i) {
    const ControlProperty* p = config.FindParam(i);
    ASSERT_NE(p, nullptr) << i;
    const TremoloParamRow& row = kTremoloParams[i];
    EXPECT_EQ(p->name, row.name);
    EXPECT_DOUBLE_EQ(p->defaultVal, row.defaultVal) << row.name;
    EXPECT_DOUBLE_EQ(p->minVal, row.minVal) << row.name;
    EXPECT_DOUBLE_EQ(p->maxVal, row.maxVal) << row.name;
    if (!TremoloParamIsInt(i)) {
      EXPECT_DOUBLE_EQ(p->step, row.step) << row.name;
      EXPECT_DOUBLE_EQ(p->shape, row.shape) << row.name;
    }
  }
}

TEST(TremoloUIConfig, UnboundRecordsAreThePlotAndThePrefixCoverWithNoDefinition) {
  QuillbarTremoloUIConfig config;
  const ControlProperty* plot = config.Get(QuillbarTremoloUIConfig::kPlotRecord);
  const ControlProperty* cover = config.Get(QuillbarTremoloUIConfig::kPrefixCoverRecord);
  ASSERT_TRUE(plot && cover);
  EXPECT_EQ(plot->kind, kUIPlot);
  EXPECT_EQ(plot->paramIdx, 12);
  EXPECT_EQ(plot->rects[0], IRECT(542, 46, 817, 211));
  EXPECT_TRUE(plot->bitmapIds.empty());
  EXPECT_EQ(cover->kind, kUIBitmap);
  EXPECT_EQ(cover->paramIdx, 13);
  for (const ControlProperty* p : {plot, cover}) {
    EXPECT_FALSE(p->isParam);
    EXPECT_TRUE(p->name.empty());
    EXPECT_EQ(p->defaultVal + p->minVal + p->maxVal + p->step + p->shape, 0.0);
  }
}

TEST(TremoloUIConfig, SharedBitmapIdsAlwaysNameTheSameFileAndFrameCount) {
  QuillbarTremoloUIConfig config;
  std::map<int, std::pair<std::string, int>> seen;
  std::map<int, int> uses;
  for (int i = 0; i < config.Size(); ++i) {
    const ControlProperty* p = config.Get(i);
    ASSERT_EQ(p->bitmapIds.size(), p->bitmapPaths.size());
    ASSERT_EQ(p->bitmapIds.size(), p->frameCounts.size());
    for (size_t b = 0; b < p->bitmapIds.size(); ++b) {
      const int id = p->bitmapIds[b];
      ++uses[id];
      auto it = seen.find(id);
      if (it == seen.end())
        seen[id] = {p->bitmapPaths[b], p->frameCounts[b]};
      else
        EXPECT_EQ(it->second, std::make_pair(p->bitmapPaths[b], p->frameCounts[b])) << "id " << id;
    }
  }
  EXPECT_EQ(uses[114], 3);
  EXPECT_EQ(uses[118], 4);
  EXPECT_EQ(seen[114].first, "resources/img/PSS_knob_base4.png");
  EXPECT_EQ(seen[118].second, 2);
  // Fifteen distinct images plus the background make the sixteen of the skin.
  EXPECT_EQ(seen.size(), 15u);
  EXPECT_EQ(seen.count(kTremoloBackgroundId), 0u);
}

TEST(TremoloUIConfig, KnobsCarryAnEmptyCaptionOffsetAndThePrefixOneFiftyThreeAbove) {
  QuillbarTremoloUIConfig config;
  for (int i = 0; i <= kShape; ++i) {
    const ControlProperty* p = config.FindParam(i);
    EXPECT_EQ(p->kind, kUIKnobCap);
    EXPECT_EQ(p->alignment, kAlignCentred);
    ASSERT_EQ(p->rects.size(), 2u);
    EXPECT_TRUE(p->rects[1].Empty());
    EXPECT_EQ(p->frameCounts[0], i == kNote ? 7 : 150);
  }
  const ControlProperty* prefix = config.FindParam(kPrefix);
  EXPECT_EQ(prefix->kind, kUIRadioButtonsCap);
  ASSERT_EQ(prefix->rects.size(), 2u);
  EXPECT_EQ(prefix->rects[1], IRECT(0, -53, 0, 0));
  // Frequency and Note share one place: one replaces the other.
  EXPECT_EQ(config.FindParam(kFrequency)->rects[0], config.FindParam(kNote)->rects[0]);
}

TEST(TremoloUIConfig, SkinImagesExistAndTheirFramesFitThePositions) {
  QuillbarTremoloUIConfig config;
  std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNG(SkinPath(kTremoloBackgroundPath).c_str()));
  ASSERT_TRUE(back) << kTremoloBackgroundPath;
  EXPECT_EQ(back->getWidth(), kTremoloEditorWidth);
  EXPECT_EQ(back->getHeight(), kTremoloEditorHeight);

  for (int i = 0; i < config.Size(); ++i) {
    const ControlProperty* p = config.Get(i);
    for (size_t b = 0; b < p->bitmapIds.size(); ++b) {
      std::unique_ptr<LICE_IBitmap> img(LICE_LoadPNG(SkinPath(p->bitmapPaths[b]).c_str()));
      ASSERT_TRUE(img) << p->bitmapPaths[b];
      EXPECT_EQ(img->getHeight() % p->frameCounts[b], 0) << p->bitmapPaths[b] << " frames are not stacked evenly";
      const int frameH = img->getHeight() / p->frameCounts[b];
      const IRECT& pos = p->rects[0];
      if (p->kind == kUIRadioButtons) {
        // Two buttons one above the other, each inside the control's width.
        EXPECT_LE(img->getWidth(), pos.W()) << p->name;
        EXPECT_LE(2 * frameH, pos.H()) << p->name;
      } else if (p->kind == kUIRadioButtonsCap && b == 0) {
        EXPECT_LE(3 * img->getWidth(), pos.W());
        EXPECT_LE(frameH, pos.H());
      } else if (p->kind == kUIBitmap) {
        // The cover reaches over the Prefix buttons it hides.
        const IRECT prefix = config.FindParam(kPrefix)->rects[0];
        EXPECT_LE(pos.L, prefix.L);
        EXPECT_LE(pos.T, prefix.T);
        EXPECT_GE(pos.L + img->getWidth(), prefix.R);
        EXPECT_GE(pos.T + frameH, prefix.B);
      }
      // Every element lies inside the editor.
      if (p->kind == kUIKnobCap) {
        EXPECT_GE(pos.L - img->getWidth() / 2, 0) << p->bitmapPaths[b];
        EXPECT_LE(pos.L + img->getWidth() / 2, kTremoloEditorWidth) << p->bitmapPaths[b];
        EXPECT_GE(pos.T - frameH / 2, 0) << p->bitmapPaths[b];
        EXPECT_LE(pos.T + frameH / 2, kTremoloEditorHeight) << p->bitmapPaths[b];
      }
    }
  }
}
