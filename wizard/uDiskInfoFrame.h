#pragma once
// A panel with one drive's label, type, file system, size and free space,
// used twice on the target page (source drive and target drive). Values
// turn red when the free space does not cover CompareSize.

#include <QFrame>

#include "wizard/DiskInfo.h"

class QGroupBox;
class QLabel;

class TDiskInfoFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TDiskInfoFrame(QWidget* owner = nullptr,
                          platform::IDriveTable& system = platform::SystemDriveTable());

  void SetCaption(const QString& caption);
  const std::string& Drive() const { return FInfo.Drive(); }
  void SetDrive(const std::string& value);
  std::int64_t CompareSize() const { return FInfo.CompareSize(); }
  void SetCompareSize(std::int64_t value);
  std::int64_t FreeAvailable() const { return FInfo.FreeAvailable(); }
  std::int64_t TotalSpace() const { return FInfo.TotalSpace(); }
  std::int64_t TotalFree() const { return FInfo.TotalFree(); }
  const TVolumeInformationRecord& VolumeInfo() const { return FInfo.VolumeInfo(); }
  bool FreeIsEnough() const { return FInfo.FreeIsEnough(); }

  QLabel* lblDiskLabel;
  QLabel* lblDriveType;
  QLabel* lblFATType;
  QLabel* lblDiskSize;
  QLabel* lblFreeSpace;
  QLabel* lblDiskSizeCaption;
  QLabel* lblFreeSpaceCaption;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FrameResize();
  void UpdateColors();
  void ShowInfo();
  void SetValue(QLabel* label, const std::string& text);
  int RowTop(int row) const;

  QGroupBox* gbDrive;
  QLabel* Label1;
  QLabel* Label3;
  QLabel* Label5;
  TDiskInfo FInfo;
};
