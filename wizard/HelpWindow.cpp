#include "wizard/HelpWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "wizard/Glyphs.h"
#include "wizard/WebLinks.h"

int HelpContextOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const int context = w->property(HelpContextProperty).toInt();
    if (context > 0) return context;
  }
  const QWidget* active = QApplication::activeWindow();
  return active && active != widget ? active->property(HelpContextProperty).toInt() : 0;
}

void SetHelpContext(QWidget* widget, int context) {
  widget->setProperty(HelpContextProperty, context);
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  InitWizardResources();
  setWindowTitle(QStringLiteral("Velmora Free Help"));
  setObjectName(QStringLiteral("HelpWindow"));
  btnContents = new QPushButton(QStringLiteral("&Contents"), this);
  btnBack = new QPushButton(QStringLiteral("&Back"), this);
  btnClose = new QPushButton(QStringLiteral("Close"), this);
  tbTopic = new QTextBrowser(this);
  tbTopic->setAccessibleName(QStringLiteral("Help topic"));
  tbTopic->setOpenExternalLinks(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnContents);
  buttons->addWidget(btnBack);
  buttons->addStretch();
  buttons->addWidget(btnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(tbTopic);
  resize(560, 480);
  connect(btnContents, &QPushButton::clicked, this, &THelpWindow::btnContentsClick);
  connect(btnBack, &QPushButton::clicked, tbTopic, &QTextBrowser::backward);
  connect(tbTopic, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
  connect(tbTopic, &QTextBrowser::sourceChanged, this, &THelpWindow::tbTopicSourceChanged);
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
  btnBack->setEnabled(false);
}

void THelpWindow::ShowTopic(int context) {
  tbTopic->setSource(QUrl(QString::fromStdString(HelpTopicPath(context))));
}

void THelpWindow::btnContentsClick() { ShowTopic(0); }

void THelpWindow::tbTopicSourceChanged(const QUrl& url) {
  static const QRegularExpression number(QStringLiteral("/(\\d+)\\.html$"));
  const auto m = number.match(url.path());
  FShownContext = m.hasMatch() ? m.captured(1).toInt() : 0;
  setWindowTitle(tbTopic->documentTitle().isEmpty()
                     ? QStringLiteral("Velmora Free Help")
                     : QStringLiteral("Velmora Free Help - ") + tbTopic->documentTitle());
}

THelp::THelp(QObject* parent) : QObject(parent) { qApp->installEventFilter(this); }

THelp::~THelp() { delete FWindow; }

void THelp::ShowContext(int context) {
  if (!FWindow) FWindow = new THelpWindow;
  // Over a modal dialog (the About box) the help must take input too.
  const bool overModal = QApplication::activeModalWidget() != nullptr;
  if (FWindow->isModal() != overModal) {
    FWindow->hide();
    FWindow->setWindowModality(overModal ? Qt::ApplicationModal : Qt::NonModal);
  }
  FWindow->ShowTopic(context);
  FWindow->show();
  FWindow->raise();
  FWindow->activateWindow();
}

bool THelp::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
      watched->isWidgetType()) {
    QWidget* focus = QApplication::focusWidget();
    ShowContext(HelpContextOf(focus ? focus : static_cast<QWidget*>(watched)));
    return true;
  }
  return QObject::eventFilter(watched, event);
}
