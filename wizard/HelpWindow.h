#pragma once
// The program's own offline help: topics by context number in a window of
// their own, and F1 anywhere in the program opening the topic of the focused
// control. A widget's context is its int property "helpContext"; a widget
// without one takes its nearest ancestor's, then the active window's.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QTextBrowser;
class QPushButton;

inline constexpr const char* HelpContextProperty = "helpContext";

// The help context that applies to a widget, 0 when none does.
int HelpContextOf(const QWidget* widget);
void SetHelpContext(QWidget* widget, int context);

class THelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit THelpWindow(QWidget* parent = nullptr);
  void ShowTopic(int context);  // 0: the contents page
  // The context of the topic on show; 0 for the contents page.
  int ShownContext() const { return FShownContext; }
  QTextBrowser* Browser() const { return tbTopic; }

 private:
  void btnContentsClick();
  void tbTopicSourceChanged(const QUrl& url);

  QPushButton* btnContents;
  QPushButton* btnBack;
  QPushButton* btnClose;
  QTextBrowser* tbTopic;
  int FShownContext = 0;
};

// Installed on the application: F1 opens the help window at the context of
// the focused control. Owns the help window.
class THelp : public QObject {
  Q_OBJECT
 public:
  explicit THelp(QObject* parent = nullptr);
  ~THelp() override;
  void ShowContext(int context);                   // 0: the contents page
  THelpWindow* Window() const { return FWindow; }  // null until first shown

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<THelpWindow> FWindow;
};
