#include "wizard/WizardButtons.h"

namespace {

bool NextAllowed(const TWizardState& s) {
  switch (s.PageIndex) {
    case wpDrive:
      return !s.SelectedDrive.empty();
    case wpTarget:
      return !s.SelectedDrive.empty() && s.TargetType != dtUnknown &&
             s.TargetDrive != s.SourceDrive;
    case wpFiles:
      return s.RootNodeState != NodeStateUnchecked;
    case wpLog:
      return true;
    default:
      return false;
  }
}

}  // namespace

TButtonState ComputeButtons(const TWizardState& state) {
  TButtonState b;
  b.PrevVisible = state.PageIndex != wpDrive;
  b.CancelVisible = state.PageIndex != wpLog;
  b.NextEnabled = NextAllowed(state);
  switch (state.PageIndex) {
    case wpFiles:
      b.NextCaption = "Save  ";
      b.NextGlyph = bgFloppy;
      break;
    case wpLog:
      b.NextCaption = "Exit  ";
      b.NextGlyph = bgCheck;
      break;
    default:
      b.NextCaption = "Next  ";
      b.NextGlyph = bgRightArrow;
      break;
  }
  return b;
}
