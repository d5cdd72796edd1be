#include "wizard/uSaveProgressForm.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "platform/EscapeForDisplay.h"
#include "platform/LocaleNumber.h"
#include "wizard/uMAVDialogs.h"

TSaveProgressForm* SaveProgressForm = nullptr;

namespace {

QLabel* Caption(const QString& text, QWidget* parent, QRect at) {
  auto* l = new QLabel(text, parent);
  QFont f = l->font();
  f.setBold(true);
  l->setFont(f);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, QColor(2, 80, 125));
  l->setPalette(pal);
  l->setGeometry(at);
  return l;
}

QLabel* Value(QWidget* parent, QRect at, bool bold) {
  auto* l = new QLabel(parent);
  l->setTextFormat(Qt::PlainText);  // a name from a disc is never markup
  QFont f = l->font();
  f.setBold(bold);
  l->setFont(f);
  l->setGeometry(at);
  return l;
}

QProgressBar* Bar(QWidget* parent, QRect at, const QString& name) {
  auto* b = new QProgressBar(parent);
  b->setRange(0, TSaveProgress::BarMax);
  b->setValue(0);
  b->setTextVisible(false);
  b->setGeometry(at);
  b->setAccessibleName(name);
  return b;
}

// Cuts a long text at the end with an ellipsis to fit the label.
void SetElided(QLabel* label, const QString& text) {
  label->setToolTip(text);
  label->setAccessibleName(text);
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->width()));
}

}  // namespace

TSaveProgressForm::TSaveProgressForm(QWidget* AOwner)
    : QWidget(AOwner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("SaveProgressForm"));
  setWindowTitle(QStringLiteral("Saving files"));
  setAccessibleName(windowTitle());
  setFixedSize(384, 147);
  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(0, 0, 384, 147);
  Label5 = Caption(QStringLiteral("File:"), panel, {16, 12, 28, 15});
  lblFileName = Value(panel, {44, 12, 325, 15}, true);
  lblFileName->setText(QStringLiteral("..."));
  pbFileProgress = Bar(panel, {16, 31, 353, 18}, QStringLiteral("File progress"));
  Label1 = Caption(QStringLiteral("Total:"), panel, {16, 55, 36, 15});
  lblTotalSize = Value(panel, {54, 55, 315, 15}, false);
  pbTotalProgress = Bar(panel, {16, 74, 353, 18}, QStringLiteral("Total progress"));
  auto* Bevel1 = new QFrame(panel);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(16, 106, 353, 2);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), panel);
  btnCancel->setGeometry(72, 114, 105, 25);
  btnCancel->setDefault(true);
  btnSkip = new QPushButton(QStringLiteral("Skip"), panel);
  btnSkip->setGeometry(216, 114, 105, 25);
  Label5->setBuddy(lblFileName);
  setTabOrder(pbFileProgress, btnCancel);
  setTabOrder(btnCancel, pbTotalProgress);
  setTabOrder(pbTotalProgress, btnSkip);
  connect(btnCancel, &QPushButton::clicked, this, &TSaveProgressForm::btnCancelClick);
  connect(btnSkip, &QPushButton::clicked, this, &TSaveProgressForm::btnSkipClick);
  ShowBars();
}

QString TSaveProgressForm::FileName() const { return lblFileName->toolTip(); }

void TSaveProgressForm::SetFileName(const QString& AName) { SetElided(lblFileName, AName); }

void TSaveProgressForm::SetFileName(const std::filesystem::path& AName) {
  SetFileName(QString::fromStdString(platform::EscapeForDisplay(AName.string())));
}

void TSaveProgressForm::SetFileSize(std::int64_t ASize) {
  FProgress.SetFileSize(ASize);
  ShowBars();
}

void TSaveProgressForm::SetTotalSize(std::int64_t ASize) {
  FProgress.SetTotalSize(ASize);
  ShowBars();
}

void TSaveProgressForm::Add(std::int64_t ASavedSize) {
  FProgress.Add(ASavedSize);
  ShowBars();
}

void TSaveProgressForm::btnCancelClick() {
  FProgress.Cancel();
  // The copier takes the press at its next event, which a blocked read may
  // hold back for seconds: show meanwhile that it was heard.
  btnCancel->setText(QStringLiteral("Cancelling\u2026"));
  btnCancel->setEnabled(false);
}

void TSaveProgressForm::ShowBars() {
  pbFileProgress->setValue(FProgress.FilePosition());
  pbTotalProgress->setValue(FProgress.TotalPosition());
  SetElided(lblTotalSize,
            QString::fromStdString(FProgress.TotalText(platform::DecimalSeparator())));
}

void TSaveProgressForm::closeEvent(QCloseEvent* event) {
  event->ignore();  // only the save run ends this window
}

void TSaveProgressForm::hideEvent(QHideEvent* event) {
  FProgress.Hidden();
  QWidget::hideEvent(event);
}

void TSaveProgressForm::keyPressEvent(QKeyEvent* event) {
  // Enter presses the default button, Cancel.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    QWidget* focused = focusWidget();
    if (auto* b = qobject_cast<QPushButton*>(focused))
      b->click();
    else
      btnCancel->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ShowSaveProgressForm(QWidget* AOwner) {
  if (!SaveProgressForm) SaveProgressForm = new TSaveProgressForm(AOwner);
  if (SaveProgressForm->isVisible()) return;
  if (QWidget* over = AOwner ? AOwner->window() : nullptr) {
    const QRect client(over->mapToGlobal(QPoint(0, 0)), over->size());
    SaveProgressForm->move(CenteredOver(client, SaveProgressForm->size()));
  }
  SaveProgressForm->show();
  SaveProgressForm->raise();
}

void FreeSaveProgressForm() {
  delete SaveProgressForm;
  SaveProgressForm = nullptr;
}
