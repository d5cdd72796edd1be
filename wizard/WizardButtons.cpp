#include "wizard/WizardButtons.h"

#include "wizard/WizardPages.h"

TButtonState ComputeButtons(const TWizardState& state) {
  TButtonState b;
  const TWizardPageObject* page = WizardPage(state.PageIndex);
  if (!page) return b;
  b.PrevVisible = page->BackVisible();
  b.CancelVisible = page->ExitVisible();
  b.NextEnabled = page->IsComplete(state);
  b.NextCaption = page->NextCaption();
  b.NextGlyph = page->NextGlyph();
  return b;
}
