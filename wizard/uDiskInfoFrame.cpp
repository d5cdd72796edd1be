#include "wizard/uDiskInfoFrame.h"

#include <QGroupBox>
#include <QLabel>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

constexpr int kCaptionEdge = 81;  // right edge of the left captions, at least
constexpr int kValueGap = 6;      // from a caption's right edge to its value
constexpr int kLeftValueWidth = 103;

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont f = label->font();
  f.setBold(true);
  label->setFont(f);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, QColor(2, 80, 125));
  label->setPalette(pal);
  label->adjustSize();
  return label;
}

QLabel* Value(QWidget* parent, const QString& describedAs) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);  // labels and paths come from discs
  label->setAccessibleDescription(describedAs);
  return label;
}

}  // namespace

TDiskInfoFrame::TDiskInfoFrame(QWidget* owner, platform::IDriveTable& system)
    : QFrame(owner), FInfo(system) {
  gbDrive = new QGroupBox(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(gbDrive);
  Label1 = Caption(QStringLiteral("Disk Label:"), gbDrive);
  lblDiskLabel = Value(gbDrive, QStringLiteral("Disk Label"));
  Label3 = Caption(QStringLiteral("Drive Type:"), gbDrive);
  lblDriveType = Value(gbDrive, QStringLiteral("Drive Type"));
  Label5 = Caption(QStringLiteral("FAT Type:"), gbDrive);
  lblFATType = Value(gbDrive, QStringLiteral("FAT Type"));
  lblDiskSizeCaption = Caption(QStringLiteral("Disk Size:"), gbDrive);
  lblDiskSize = Value(gbDrive, QStringLiteral("Disk Size"));
  lblFreeSpaceCaption = Caption(QStringLiteral("Free space:"), gbDrive);
  lblFreeSpace = Value(gbDrive, QStringLiteral("Free space"));
  UpdateColors();
  ShowInfo();
}

void TDiskInfoFrame::SetCaption(const QString& caption) {
  gbDrive->setTitle(caption);
  gbDrive->setAccessibleName(caption);
  setAccessibleName(caption);
}

void TDiskInfoFrame::SetDrive(const std::string& value) {
  FInfo.SetDrive(value);
  UpdateColors();
  ShowInfo();
}

void TDiskInfoFrame::SetCompareSize(std::int64_t value) {
  FInfo.SetCompareSize(value);
  UpdateColors();
}

void TDiskInfoFrame::UpdateColors() {
  const QColor color = FInfo.FreeIsEnough() ? QColor(Qt::black) : QColor(255, 0, 0);
  for (QLabel* l : {lblDiskLabel, lblDriveType, lblFATType, lblDiskSize, lblFreeSpace}) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
  }
}

void TDiskInfoFrame::SetValue(QLabel* label, const std::string& text) {
  const QString full = QString::fromStdString(text);
  label->setAccessibleName(full);
  label->setToolTip(full);
  label->setProperty("fullText", full);
  label->setText(full);
}

void TDiskInfoFrame::ShowInfo() {
  SetValue(lblDiskLabel, FInfo.DiskLabelText());
  SetValue(lblDriveType, FInfo.DriveTypeText());
  SetValue(lblFATType, FInfo.FileSystemText());
  SetValue(lblDiskSize, FInfo.DiskSizeText());
  SetValue(lblFreeSpace, FInfo.FreeSpaceText());
  FrameResize();
}

int TDiskInfoFrame::RowTop(int row) const {
  const int pitch = std::max(19, fontMetrics().height() + 4);
  return fontMetrics().height() + 4 + row * pitch;
}

QSize TDiskInfoFrame::sizeHint() const { return {425, RowTop(3) + 8}; }

void TDiskInfoFrame::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  FrameResize();
}

void TDiskInfoFrame::FrameResize() {
  const int h = fontMetrics().height() + 2;
  const int captionEdge =
      std::max({kCaptionEdge, Label1->sizeHint().width() + 8, Label3->sizeHint().width() + 8,
                Label5->sizeHint().width() + 8});
  const int valueLeft = captionEdge + kValueGap;
  const int client = gbDrive->width();
  const int captionW =
      std::max(lblDiskSizeCaption->sizeHint().width(), lblFreeSpaceCaption->sizeHint().width());
  // The left values may use the space up to the middle, never less than their design width.
  const int leftValueWidth = std::max(kLeftValueWidth, client / 2 - 8 - valueLeft);
  const int r = RightCaptionEdge(valueLeft, leftValueWidth, client, captionW, captionW);
  QLabel* captions[] = {Label1, Label3, Label5};
  QLabel* values[] = {lblDiskLabel, lblDriveType, lblFATType};
  for (int row = 0; row < 3; ++row) {
    const int w = captions[row]->sizeHint().width();
    captions[row]->setGeometry(captionEdge - w, RowTop(row), w, h);
    QLabel* v = values[row];
    const QString full = v->property("fullText").toString();
    // Long mount points keep both ends readable; the whole text is in the tooltip.
    v->setText(fontMetrics().elidedText(full, Qt::ElideMiddle, leftValueWidth));
    v->setGeometry(valueLeft, RowTop(row), leftValueWidth, h);
  }
  QLabel* rightCaptions[] = {lblDiskSizeCaption, lblFreeSpaceCaption};
  QLabel* rightValues[] = {lblDiskSize, lblFreeSpace};
  for (int row = 0; row < 2; ++row) {
    rightCaptions[row]->setGeometry(r - captionW, RowTop(row), captionW, h);
    const int w = rightValues[row]->sizeHint().width();
    rightValues[row]->setGeometry(r + 8, RowTop(row), std::max(w, client - r - 16), h);
  }
}
