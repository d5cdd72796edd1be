#include "wizard/WizardPages.h"

namespace {

class TDrivePage final : public TWizardPageObject {
 public:
  void InitializePage(IWizardSteps& steps) const override { steps.FillDrivesTree(); }
  bool IsComplete(const TWizardState& s) const override { return !s.SelectedDrive.empty(); }
  void Next(IWizardSteps& steps) const override { steps.NextPage(); }
  bool BackVisible() const override { return false; }
};

class TTargetPage final : public TWizardPageObject {
 public:
  void InitializePage(IWizardSteps& steps) const override {
    steps.UpdateSelectedDrive();
    steps.UpdateTargetInfo();
  }
  bool IsComplete(const TWizardState& s) const override {
    return !s.SelectedDrive.empty() && s.TargetType != dtUnknown && s.TargetDrive != s.SourceDrive;
  }
  void Next(IWizardSteps& steps) const override {
    if (!steps.CheckTargetDir()) return;
    steps.ProcessScan();  // the file page follows once the scan job has ended
  }
};

class TFilesPage final : public TWizardPageObject {
 public:
  void InitializePage(IWizardSteps& steps) const override {
    if (!steps.FilesShowSelectedDrive()) steps.FillFindedFilesTree();
    steps.FocusFilesTree();
  }
  bool IsComplete(const TWizardState& s) const override {
    return s.RootNodeState != NodeStateUnchecked;
  }
  void Next(IWizardSteps& steps) const override {
    steps.NextPage();  // the log shows while the files are saved
    steps.ProcessSave();
  }
  std::string NextCaption() const override { return "Save  "; }
  TButtonGlyph NextGlyph() const override { return bgFloppy; }
};

class TLogPage final : public TWizardPageObject {
 public:
  void InitializePage(IWizardSteps&) const override {}
  bool IsComplete(const TWizardState&) const override { return true; }
  void Next(IWizardSteps& steps) const override { steps.CloseWizard(); }
  bool ExitVisible() const override { return false; }
  std::string NextCaption() const override { return "Exit  "; }
  TButtonGlyph NextGlyph() const override { return bgCheck; }
};

}  // namespace

const TWizardPageObject* WizardPage(int index) {
  static const TDrivePage drive;
  static const TTargetPage target;
  static const TFilesPage files;
  static const TLogPage log;
  static const TWizardPageObject* const pages[WizardPageCount] = {&drive, &target, &files, &log};
  return index >= 0 && index < WizardPageCount ? pages[index] : nullptr;
}
