#pragma once
// The base of windows that lay themselves out from right to left when the
// interface language is Arabic (1025): the language is looked up each time
// the native window is about to be created, so a changed "LCID" takes effect
// for windows created afterwards.

#include <QDialog>

#include <optional>

class TMultiForm : public QDialog {
 public:
  explicit TMultiForm(QWidget* AOwner = nullptr);

  void setVisible(bool visible) override;

 protected:
  // Prepares the window before its native window is made: mirrored for
  // language 1025, otherwise the direction the window was given.
  virtual void CreateParams();

 private:
  std::optional<Qt::LayoutDirection> FOwnDirection;  // before any mirroring
};
