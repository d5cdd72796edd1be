#include "reports/gui/uAbout.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>
#include <QStyle>
#include <QVBoxLayout>

#include <memory>

#include "platform/Files.h"
#include "reports/uSendSource.h"
#include "support/ProductSite.h"
#include "support/gui/UrlOpener.h"
#include "support/uFileVersion.h"
#include "support/uFunctions.h"

namespace {

const QString kProductName = QStringLiteral("Velmora Free");
const std::string kItemName = "err.log file of Velmora Free";
const std::string kProblemHint =
    "describe your problem detailed here, do not hesitate to include screenshots";
constexpr int kHelpContext = 900;

QFont ArialPixels(int aPixels, bool aBold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(aPixels);
  font.setBold(aBold);
  return font;
}

// Places aWidget at aLogical, a rectangle in reading order: mirrored in a
// right-to-left parent, as the window system mirrors such a window.
void PlaceLogical(QWidget* aWidget, const QRect& aLogical) {
  const QWidget* parent = aWidget->parentWidget();
  aWidget->setGeometry(QStyle::visualRect(parent->layoutDirection(), parent->rect(), aLogical));
}

QRect LogicalGeometry(const QWidget* aWidget) {
  const QWidget* parent = aWidget->parentWidget();
  return QStyle::visualRect(parent->layoutDirection(), parent->rect(), aWidget->geometry());
}

QLabel* LinkLabel(QWidget* aParent) {
  auto* label = new QLabel(aParent);
  label->setFont(ArialPixels(15));
  label->setCursor(Qt::PointingHandCursor);
  label->setStyleSheet(QStringLiteral("color: blue"));
  label->setFocusPolicy(Qt::StrongFocus);
  return label;
}

// A borderless row that sizes itself to its labels.
QWidget* Row(QWidget* aParent, QLabel*& aCaption, const QString& aText, QLabel*& aLink) {
  auto* row = new QWidget(aParent);
  aCaption = new QLabel(aText, row);
  aCaption->setFont(ArialPixels(15));
  aCaption->adjustSize();
  aLink = LinkLabel(row);
  return row;
}

// The program's windows are disabled while the mail client has the user's
// attention, so that no click queued meanwhile starts a second sending;
// afterwards each gets back its former state and the active one its focus.
class TDisabledWindows {
 public:
  TDisabledWindows() : FActive(QApplication::activeWindow()) {
    // All states first: disabling an owner also disables the windows it owns.
    for (QWidget* window : QApplication::topLevelWidgets()) {
      FWindows.push_back({window, window->isEnabled()});
    }
    for (auto& [window, enabled] : FWindows) window->setEnabled(false);
  }
  ~TDisabledWindows() {
    for (auto& [window, enabled] : FWindows) {
      if (window) window->setEnabled(enabled);
    }
    if (FActive) FActive->activateWindow();
  }
  TDisabledWindows(const TDisabledWindows&) = delete;
  TDisabledWindows& operator=(const TDisabledWindows&) = delete;

 private:
  QPointer<QWidget> FActive;
  std::vector<std::pair<QPointer<QWidget>, bool>> FWindows;
};

}  // namespace

void PlaceAfterLabel(QLabel* caption, QLabel* link) {
  const QRect c = LogicalGeometry(caption);
  link->adjustSize();
  PlaceLogical(link, QRect(c.left() + c.width() + 10, c.top(), link->width(), link->height()));
}

TAboutDialog::TAboutDialog(QWidget* AOwner) : TMultiForm(AOwner) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFont(ArialPixels(14));
  // Its own reading order, whatever the owner's; the language may mirror it.
  setLayoutDirection(Qt::LeftToRight);
  setProperty("helpContext", kHelpContext);

  pProduct = new QWidget(this);
  GroupBox1 = new QGroupBox(pProduct);
  GroupBox1->setFont(ArialPixels(15, true));
  lVersion = new QLabel(GroupBox1);
  Label2 =
      new QLabel(QStringLiteral("Gets files off damaged CDs, DVDs and Blu-ray discs."), GroupBox1);
  FLines = new QVBoxLayout(GroupBox1);
  FLines->setSpacing(2);
  FLines->setContentsMargins(20, FLines->contentsMargins().top(), 0, 2);
  for (QLabel* line : {lVersion, Label2}) {
    line->setFont(ArialPixels(15));
    FLines->addWidget(line);
  }

  GroupBox2 = new QGroupBox(QStringLiteral("Product information "), pProduct);
  Panel2 = Row(GroupBox2, Label3, QStringLiteral("Site: "), lSite);
  Panel3 = Row(GroupBox2, l1, QStringLiteral("Tech. support:"), lEMail);
  auto* rows = new QVBoxLayout(GroupBox2);
  rows->addWidget(Panel2);
  rows->addWidget(Panel3);
  rows->addStretch();

  auto* product = new QVBoxLayout(pProduct);
  product->addWidget(GroupBox1);
  product->addWidget(GroupBox2, 1);

  pOk = new QWidget(this);
  pOk->setFixedHeight(51);
  pOk->setCursor(Qt::PointingHandCursor);
  btnSendErrLog = new QPushButton(QStringLiteral("Send err.log file"), pOk);
  btnOk = new QPushButton(QStringLiteral("Ok"), pOk);
  btnOk->setDefault(true);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(0, 0, 0, 0);
  main->setSpacing(0);
  main->addWidget(pProduct, 1);
  main->addWidget(pOk);

  connect(btnOk, &QPushButton::clicked, this, &TAboutDialog::btnOkClick);
  connect(lSite, &QLabel::linkActivated, this, &TAboutDialog::RxLabel1Click);
  connect(lEMail, &QLabel::linkActivated, this, &TAboutDialog::RxLabel2Click);
  connect(btnSendErrLog, &QPushButton::clicked, this, &TAboutDialog::btnSendErrLogClick);
  for (QWidget* watched : {Panel2, Panel3, pOk}) watched->installEventFilter(this);

  FormCreate();
  setFixedSize(603, sizeHint().height());
  PlaceButtons();
}

void TAboutDialog::FormCreate() {
  setWindowTitle(QStringLiteral("About ") + kProductName);
  GroupBox1->setTitle(QStringLiteral(" ") + kProductName + QStringLiteral(" "));
  // The links are anchors, so that the keyboard and screen readers can follow them too.
  const auto anchor = [](const char* aText) {
    return QStringLiteral("<a href=\"#\" style=\"color: blue; text-decoration: none\">%1</a>")
        .arg(QString::fromUtf8(aText).toHtmlEscaped());
  };
  lSite->setText(anchor(support::ProductSiteHost));
  lSite->setAccessibleName(QString::fromUtf8(support::ProductSiteHost));
  lEMail->setText(anchor(support::SupportEmail));
  lEMail->setAccessibleName(QString::fromUtf8(support::SupportEmail));
  lVersion->setText(QStringLiteral("Version : ") +
                    QString::fromStdString(GetSelfApplicationVersion()));
  for (QLabel* caption : {Label3, l1}) caption->adjustSize();
  for (QWidget* row : {Panel2, Panel3}) {
    row->setFixedHeight(std::max(Label3->sizeHint().height(), lSite->sizeHint().height()));
  }
}

void TAboutDialog::btnOkClick() { close(); }

std::vector<std::string> TAboutDialog::ReportLines() {
  return {"Program: [" + kProductName.toStdString() + "]",
          "Version: [" + GetSelfApplicationVersion() + "]",
          "Problem description: <" + kProblemHint + ">"};
}

std::string TAboutDialog::ProductPage() {
  return std::string(support::ProductSite) + "/velmorafree.html";
}

std::string TAboutDialog::MailLink() {
  std::string link = std::string("mailto:") + support::SupportEmail + "?body=";
  const std::vector<std::string> lines = ReportLines();
  for (std::size_t i = 0; i < lines.size(); ++i) link += (i ? "%0A" : "") + lines[i];
  return link;
}

void TAboutDialog::RxLabel1Click() {
  TUrlOpener().OpenDetached(QString::fromStdString(ProductPage()));
}

void TAboutDialog::RxLabel2Click() {
  TUrlOpener().OpenDetached(QString::fromStdString(MailLink()));
}

void TAboutDialog::btnSendErrLogClick() {
  const std::string logPath = ErrorLogPath();
  if (!platform::FileExists(logPath)) {
    QMessageBox::critical(this, QStringLiteral("Error"),
                          QStringLiteral("The err.log file are absent."), QMessageBox::Ok);
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  btnSendErrLog->setEnabled(false);
  std::string body;
  for (const std::string& line : ReportLines()) body += (body.empty() ? "" : "\r\n") + line;
  std::string failure;
  try {
    const std::unique_ptr<TSendSourcePacket> packet = SourceSender::CreatePacket();
    TSendSourceItem& item = packet->AddItem(kItemName);
    item.AddFiles(AddTrailingBackslash(ProductDataFolder), ErrorLogFileName);
    TDisabledWindows disabled;
    // The thread waits for the mail client next: let the disabled windows and
    // the hourglass reach the screen first.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    SourceSender::SendPacket(*packet, support::SupportEmail, kItemName, body);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  btnSendErrLog->setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (!failure.empty()) {
    // Logged with its reason, and shown: a report that silently failed to
    // leave would let the user wait for an answer that never comes.
    WriteErrorMessage(edsSilent, AID_Common_Forms, 1, "[TfAbout.btnSendErrLogClick] " + failure);
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromStdString(failure),
                          QMessageBox::Ok);
  }
}

void TAboutDialog::Panel2Resize() { PlaceAfterLabel(Label3, lSite); }

void TAboutDialog::Panel3Resize() { PlaceAfterLabel(l1, lEMail); }

void TAboutDialog::PlaceButtons() {
  PlaceLogical(btnSendErrLog, QRect(11, 7, 155, 31));
  PlaceLogical(btnOk, QRect(472, 6, 92, 31));
}

bool TAboutDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutDirectionChange) {
    // The captions keep their left margin of 20 in reading order.
    if (watched == Panel2) {
      PlaceLogical(Label3, QRect(QPoint(20, 0), Label3->size()));
      Panel2Resize();
    } else if (watched == Panel3) {
      PlaceLogical(l1, QRect(QPoint(20, 0), l1->size()));
      Panel3Resize();
    } else if (watched == pOk) {
      PlaceButtons();
    }
  }
  return TMultiForm::eventFilter(watched, event);
}

void TAboutDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LayoutDirectionChange) {
    // Layouts mirror their items but not their margins: the lines' margin of
    // 20 moves to the side where reading starts.
    const QMargins m = FLines->contentsMargins();
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    FLines->setContentsMargins(rtl ? 0 : 20, m.top(), rtl ? 20 : 0, m.bottom());
    // A label aligns its text by the text's own direction, and English text
    // reads from the left: the mirrored window puts it on the right itself.
    for (QLabel* line : {lVersion, Label2}) {
      line->setAlignment(Qt::AlignAbsolute | Qt::AlignVCenter |
                         (rtl ? Qt::AlignRight : Qt::AlignLeft));
    }
    // Children placed by hand follow the mirror as the layouts do.
    for (QWidget* watched : {Panel2, Panel3, pOk}) {
      QEvent again(QEvent::LayoutDirectionChange);
      eventFilter(watched, &again);
    }
  }
  TMultiForm::changeEvent(event);
}

void ShowAboutDialog(QWidget* owner) {
  // Freed when it closes, also when showing fails.
  const auto dialog = std::make_unique<TAboutDialog>(owner);
  dialog->exec();
}
