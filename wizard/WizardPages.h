#pragma once
// The wizard's pages as objects, without a window, after the contract of a
// wizard page (initializePage, isComplete, nextId): each knows what entering
// it does, when Next may be pressed, what Next does, and how the bottom
// buttons read on it. TMainForm's page flow (GoNext, EnterPage, UpdateButtons)
// dispatches to them; the window lends them its steps through IWizardSteps.

#include <string>

#include "wizard/WizardButtons.h"

// The window's steps that the pages call.
class IWizardSteps {
 public:
  virtual ~IWizardSteps() = default;
  virtual void FillDrivesTree() = 0;       // rebuilds the drive list when it changed
  virtual void UpdateSelectedDrive() = 0;  // takes the selected drive
  virtual void UpdateTargetInfo() = 0;     // the target's drive, figures and warning
  // The file tree shows the scan of the selected drive.
  virtual bool FilesShowSelectedDrive() const = 0;
  virtual void FillFindedFilesTree() = 0;
  virtual void FocusFilesTree() = 0;  // when the tree can take the keyboard
  virtual bool CheckTargetDir() = 0;  // creates the target folder, or says it cannot
  virtual void ProcessScan() = 0;
  virtual void ProcessSave() = 0;
  virtual void NextPage() = 0;
  virtual void CloseWizard() = 0;
};

class TWizardPageObject {
 public:
  virtual ~TWizardPageObject() = default;

  // What entering the page does (before the buttons are updated).
  virtual void InitializePage(IWizardSteps& steps) const = 0;
  // Whether Next may be pressed.
  virtual bool IsComplete(const TWizardState& state) const = 0;
  // What Next does. An error that leaves a step stops the action there.
  virtual void Next(IWizardSteps& steps) const = 0;
  // Back shows on every page but the first; Exit on every page but the
  // last, whose Next is its Exit.
  virtual bool BackVisible() const { return true; }
  virtual bool ExitVisible() const { return true; }
  virtual std::string NextCaption() const { return "Next  "; }
  virtual TButtonGlyph NextGlyph() const { return bgRightArrow; }
};

// The page of an index (wpDrive .. wpLog); nullptr for any other.
const TWizardPageObject* WizardPage(int index);
