#pragma once
// The rules of the wizard's bottom buttons, without a window: which of Back
// and Exit show, whether Next may be pressed, and its caption and glyph on
// each page.

#include <string>

#include "engine/Drives.h"

// The pages of the wizard, in order.
enum TWizardPage : int {
  wpDrive = 0,
  wpTarget = 1,
  wpFiles = 2,
  wpLog = 3,
};
inline constexpr int WizardPageCount = 4;

// The glyphs of the window's button image list, by index.
enum TButtonGlyph : int {
  bgLeftArrow = 0,
  bgRightArrow = 1,
  bgCross = 2,
  bgFloppy = 3,
  bgCheck = 4,
};

// The file tree root's check state: unchecked, as the tree reports it.
inline constexpr int NodeStateUnchecked = 1;

// What the buttons depend on.
struct TWizardState {
  int PageIndex = wpDrive;
  std::string SelectedDrive;               // designator; empty when none
  TDriveType TargetType = dtUnknown;       // drive type of the target folder's drive
  std::string TargetDrive;                 // designator of the target folder's drive
  std::string SourceDrive;                 // designator shown in the source panel
  int RootNodeState = NodeStateUnchecked;  // a tree without a root reads as unchecked
};

struct TButtonState {
  bool PrevVisible = false;
  bool CancelVisible = true;
  bool NextEnabled = false;
  std::string NextCaption;  // ends in two blanks, which part the text from the glyph
  TButtonGlyph NextGlyph = bgRightArrow;
};

TButtonState ComputeButtons(const TWizardState& state);
