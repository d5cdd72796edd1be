#include "wizard/uOverwriteDialogForm.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "wizard/uMAVDialogs.h"
#include "wizard/uSaveProgressForm.h"

TOverwriteDialogForm::TOverwriteDialogForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OverwriteDialogForm"));
  setWindowTitle(QStringLiteral("Confirm overwriting the file"));
  setFixedSize(454, 148);
  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(0, 0, 454, 148);
  auto* Image1 = new QLabel(panel);
  Image1->setPixmap(style()->standardIcon(QStyle::SP_DirIcon).pixmap(24, 24));
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setGeometry(16, 16, 33, 34);
  lblMessage = new QLabel(QStringLiteral("Folder already contains a file."), panel);
  lblMessage->setTextFormat(Qt::PlainText);  // the name comes from a disc
  QFont f = lblMessage->font();
  f.setPointSize(10);
  lblMessage->setFont(f);
  lblMessage->setWordWrap(true);
  lblMessage->setGeometry(64, 16, 375, 80);
  const std::pair<QPushButton**, std::pair<const char*, TOverwriteAnswer>> buttons[] = {
      {&Button1, {"Yes", oaYes}},
      {&Button2, {"Yes to All", oaYesToAll}},
      {&Button3, {"No", oaNo}},
      {&Button4, {"No to all", oaNoToAll}}};
  int left = 16;
  for (const auto& [button, what] : buttons) {
    *button = new QPushButton(QString::fromLatin1(what.first), panel);
    (*button)->setGeometry(left, 109, 100, 25);
    (*button)->setAutoDefault(false);
    const TOverwriteAnswer answer = what.second;
    connect(*button, &QPushButton::clicked, this, [this, answer] { done(answer); });
    left += 106;
  }
  Button1->setDefault(true);
  setAccessibleName(windowTitle());
}

void TOverwriteDialogForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    done(oaNo);
    return;
  }
  QDialog::keyPressEvent(event);
}

TOverwriteAnswer ShowOverwriteDialog(QWidget* AForm, const QString& AMessage) {
  QWidget* above = SaveProgressForm && SaveProgressForm->isVisible() ? SaveProgressForm : AForm;
  TOverwriteDialogForm dialog(above);
  dialog.lblMessage->setText(AMessage);
  dialog.lblMessage->setAccessibleName(AMessage);
  if (AForm) {
    const QRect client(AForm->mapToGlobal(QPoint(0, 0)), AForm->size());
    dialog.move(CenteredOver(client, dialog.size()));
  }
  return static_cast<TOverwriteAnswer>(dialog.exec());
}
