#pragma once
// TSaveProgressForm: the borderless window that floats above the wizard while
// files are saved. It names the file, shows a bar for the file and one for
// the run with the amount saved, and stores a press of Skip or Cancel until
// the save run collects it. The user cannot close it; the run destroys it.

#include <QWidget>

#include <filesystem>

#include "wizard/SaveProgress.h"

class QLabel;
class QProgressBar;
class QPushButton;

class TSaveProgressForm : public QWidget {
  Q_OBJECT
 public:
  explicit TSaveProgressForm(QWidget* AOwner = nullptr);

  QString FileName() const;
  void SetFileName(const QString& AName);
  // A name as the disc holds it, shown on one line (platform::EscapeForDisplay).
  void SetFileName(const std::filesystem::path& AName);
  std::int64_t FileSize() const { return FProgress.FileSize(); }
  void SetFileSize(std::int64_t ASize);
  std::int64_t TotalSize() const { return FProgress.TotalSize(); }
  void SetTotalSize(std::int64_t ASize);
  std::int64_t FileSaved() const { return FProgress.FileSaved(); }
  std::int64_t TotalSaved() const { return FProgress.TotalSaved(); }
  // Returns the pending request and clears it.
  TSaveProgressCancelState CancelState() { return FProgress.CancelState(); }
  void Add(std::int64_t ASavedSize);
  // The request the save job takes Skip and Cancel from.
  const std::shared_ptr<TCancelRequest>& Request() const { return FProgress.Request(); }

  QLabel *Label5, *lblFileName, *Label1, *lblTotalSize;
  QProgressBar *pbFileProgress, *pbTotalProgress;
  QPushButton *btnCancel, *btnSkip;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void btnCancelClick();
  void btnSkipClick() { FProgress.Skip(); }
  void ShowBars();

  TSaveProgress FProgress;
};

// The window of the running save; null when no save runs.
extern TSaveProgressForm* SaveProgressForm;
// Creates the window when there is none and shows it, centred over AOwner,
// when it is not visible.
void ShowSaveProgressForm(QWidget* AOwner);
void FreeSaveProgressForm();
