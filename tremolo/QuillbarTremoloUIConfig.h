// The tremolo editor's elements: eleven parameter controls, the plot and the
// cover over the Prefix buttons, on a background of 863 x 468 pixels.
#pragma once

#include "tremolo/UIConfig.h"

// Size of the editor and the background image, in pixels.
constexpr int kTremoloEditorWidth = 863;
constexpr int kTremoloEditorHeight = 468;
// Resource id and path of the background.
constexpr int kTremoloBackgroundId = 120;
constexpr const char* kTremoloBackgroundPath = "resources/img/back3.png";

class QuillbarTremoloUIConfig : public UIConfig<ControlProperty>
{
public:
  // Record indices of the two elements without a parameter.
  enum { kPlotRecord = 11, kPrefixCoverRecord = 12, kNumRecords = 13 };

  // Builds the thirteen records in table order.
  QuillbarTremoloUIConfig();
  // 11.
  int GetNumVSTParams() const override { return 11; }
};
