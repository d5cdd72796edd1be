#pragma once
// The main program's modal About box: product, version, links to the web
// page and to technical support, and the button that sends "Err.log" to
// technical support as a ZIP archive through the user's mail client.

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <string>
#include <vector>

#include "support/gui/uMultiForm.h"

class TAboutDialog : public TMultiForm {
 public:
  explicit TAboutDialog(QWidget* AOwner = nullptr);

  void FormCreate();
  void btnOkClick();
  void RxLabel1Click();  // the product page
  void RxLabel2Click();  // a mail link to technical support
  void btnSendErrLogClick();
  void Panel2Resize();
  void Panel3Resize();

  // The three lines of the report body, in order.
  static std::vector<std::string> ReportLines();
  static std::string ProductPage();
  static std::string MailLink();

  QWidget* pProduct;
  QGroupBox* GroupBox1;
  QLabel* lVersion;
  QLabel* Label2;
  QGroupBox* GroupBox2;
  QWidget* Panel2;
  QLabel* Label3;
  QLabel* lSite;
  QWidget* Panel3;
  QLabel* l1;
  QLabel* lEMail;
  QWidget* pOk;
  QPushButton* btnSendErrLog;
  QPushButton* btnOk;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PlaceButtons();

  QVBoxLayout* FLines;  // the lines of GroupBox1
};

// Puts the link label 10 pixels after the caption label, at its top (after
// in reading order: to the left of it in a mirrored window).
void PlaceAfterLabel(QLabel* caption, QLabel* link);

// Shows a new About dialog over owner, modally, and frees it when it closes.
void ShowAboutDialog(QWidget* owner);
