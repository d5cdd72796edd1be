#pragma once
// TScanProgressForm: the small window that floats above the wizard while a
// disc is scanned: how many folders and files have been found so far, and
// Cancel. The scan job's counts reach it on the window's thread.

#include <QWidget>

#include <functional>

#include "wizard/ScanJob.h"

class QLabel;
class QPushButton;

class TScanProgressForm : public QWidget {
  Q_OBJECT
 public:
  TScanProgressForm(QWidget* AOwner, std::function<void()> onCancel);

  void SetCounts(TScanCounts counts);

  QLabel *lblFolders, *lblFiles;
  QPushButton* btnCancel;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void btnCancelClick();
  std::function<void()> FOnCancel;
};
