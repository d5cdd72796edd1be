#include "wizard/uScanProgressForm.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "wizard/uMAVDialogs.h"

TScanProgressForm::TScanProgressForm(QWidget* AOwner, std::function<void()> onCancel)
    : QWidget(AOwner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FOnCancel(std::move(onCancel)) {
  setObjectName(QStringLiteral("ScanProgressForm"));
  setWindowTitle(QStringLiteral("Scanning the disc"));
  setAccessibleName(windowTitle());
  auto* layout = new QVBoxLayout(this);
  for (QLabel** l : {&lblFolders, &lblFiles}) {
    *l = new QLabel(this);
    (*l)->setTextFormat(Qt::PlainText);
    layout->addWidget(*l);
  }
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setDefault(true);
  layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
  connect(btnCancel, &QPushButton::clicked, this, &TScanProgressForm::btnCancelClick);
  SetCounts({});
  setFixedSize(300, sizeHint().height());
  if (AOwner) {
    const QRect client(AOwner->mapToGlobal(QPoint(0, 0)), AOwner->size());
    move(CenteredOver(client, size()));
  }
}

void TScanProgressForm::SetCounts(TScanCounts counts) {
  lblFolders->setText(QStringLiteral("Folders found: %1").arg(counts.Folders));
  lblFiles->setText(QStringLiteral("Files found: %1").arg(counts.Files));
  lblFolders->setAccessibleName(lblFolders->text());
  lblFiles->setAccessibleName(lblFiles->text());
}

void TScanProgressForm::btnCancelClick() {
  btnCancel->setText(QStringLiteral("Cancelling\u2026"));
  btnCancel->setEnabled(false);
  FOnCancel();
}

void TScanProgressForm::closeEvent(QCloseEvent* event) {
  event->ignore();  // only the scan ends this window
}

void TScanProgressForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
      event->key() == Qt::Key_Enter) {
    if (btnCancel->isEnabled()) btnCancel->click();
    return;
  }
  QWidget::keyPressEvent(event);
}
