// Building TMainForm's controls: the menu, the four pages and the bottom panel.

#include <QAction>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "wizard/FileTreeModel.h"
#include "wizard/Glyphs.h"
#include "wizard/HelpWindow.h"
#include "wizard/WebLinks.h"
#include "wizard/uDiskInfoFrame.h"
#include "wizard/uMain.h"

namespace {

QWidget* WhitePanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setAutoFillBackground(true);
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::WindowText, Qt::black);
  panel->setPalette(pal);
  return panel;
}

// The white header of a page: a bold title and a one-line subtitle.
QWidget* Header(QWidget* page, const QString& title, const QString& subtitle,
                QLabel** titleLabel = nullptr) {
  QWidget* header = WhitePanel(page);
  header->setFixedHeight(65);
  auto* t = new QLabel(title, header);
  QFont f = t->font();
  f.setBold(true);
  f.setPixelSize(17);
  t->setFont(f);
  t->move(24, 13);
  t->setMinimumWidth(560);
  auto* s = new QLabel(subtitle, header);
  s->move(40, 38);
  s->setMinimumWidth(560);
  auto* line = new QFrame(header);  // parts the header from the page body
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(0, 63, 4000, 2);
  if (titleLabel) *titleLabel = t;
  return header;
}

QVBoxLayout* PageLayout(QWidget* page, const QString& title, const QString& subtitle,
                        QLabel** titleLabel = nullptr) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Header(page, title, subtitle, titleLabel));
  return layout;
}

QPushButton* GlyphButton(const QString& caption, const QString& accessibleName, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setAccessibleName(accessibleName);
  b->setIconSize(QSize(18, 18));
  b->setFixedSize(100, 26);
  return b;
}

}  // namespace

void TMainForm::BuildMenu() {
  QMenu* miFile = menuBar()->addMenu(QStringLiteral("&File"));
  miExit = miFile->addAction(QStringLiteral("E&xit"));
  QMenu* miHelp = menuBar()->addMenu(QStringLiteral("&Help"));
  miVelmoraHelp = miHelp->addAction(HelpIcon(), QStringLiteral("Velmora Free &Help"));
  miVelmoraontheWeb = miHelp->addAction(HomeIcon(), QStringLiteral("Velmora Free on the Web"));
  miHelp->addSeparator();  // N1
  miAbout = miHelp->addAction(QStringLiteral("About"));
}

void TMainForm::BuildPages() {
  pcPages = new QStackedWidget(this);
  tsStartPage = BuildStartPage();
  tsTargetDirPage = BuildTargetDirPage();
  tsSelectFilesPage = BuildSelectFilesPage();
  tsLogPage = BuildLogPage();
  int index = 0;
  for (QWidget* page : {tsStartPage, tsTargetDirPage, tsSelectFilesPage, tsLogPage}) {
    SetHelpContext(page, HelpContextOfPage(index++));
    pcPages->addWidget(page);
  }
}

QWidget* TMainForm::BuildStartPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsStartPage"));
  QVBoxLayout* layout = PageLayout(
      page, QStringLiteral("Velmora Free"),
      QStringLiteral("Program helps you to recover unreadable files from CD/DVD/Blu-Ray drives."),
      &Label1);
  auto* body = new QHBoxLayout;
  body->setSpacing(6);
  QWidget* Panel6 = WhitePanel(page);
  static_cast<QFrame*>(Panel6)->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  Panel6->setFixedWidth(145);
  Image2 = new QLabel(Panel6);
  Image2->setGeometry(8, 30, 128, 128);
  Image2->setScaledContents(true);
  Image2->setAccessibleName(QStringLiteral("Velmora Free logo"));
  body->addWidget(Panel6);

  auto* right = new QVBoxLayout;
  right->setContentsMargins(6, 12, 10, 10);
  lblDriveCaption =
      new QLabel(QStringLiteral("Please select drive you want to recover files from."), page);
  tvDrive = new QTreeWidget(page);
  tvDrive->setAccessibleName(QStringLiteral("Drives"));
  tvDrive->setAccessibleDescription(lblDriveCaption->text());
  lblDriveCaption->setBuddy(tvDrive);
  tvDrive->setHeaderHidden(true);
  tvDrive->setRootIsDecorated(false);
  tvDrive->setIndentation(27);
  tvDrive->setIconSize(QSize(24, 24));
  tvDrive->setFrameShape(QFrame::NoFrame);
  tvDrive->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tvDrive->setSelectionMode(QAbstractItemView::SingleSelection);
  SetHelpContext(tvDrive, 201);
  cpNoDrive = new QLabel(page);
  QFont bold = cpNoDrive->font();
  bold.setBold(true);
  cpNoDrive->setFont(bold);
  cpNoDrive->setWordWrap(true);
  cpNoDrive->setAlignment(Qt::AlignCenter);
  cpNoDrive->setContentsMargins(50, 0, 10, 0);
  right->addWidget(lblDriveCaption);
  right->addSpacing(12);
  // The no-drive text lies behind the list and shows when the list is hidden.
  auto* stack = new QGridLayout;
  stack->addWidget(cpNoDrive, 0, 0);
  stack->addWidget(tvDrive, 0, 0);
  right->addLayout(stack, 1);
  body->addLayout(right, 1);
  layout->addLayout(body, 1);
  return page;
}

QWidget* TMainForm::BuildTargetDirPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsTargetDirPage"));
  QVBoxLayout* layout =
      PageLayout(page, QStringLiteral("Target directory"),
                 QStringLiteral("Select target directory where you want to store files"));
  auto* body = new QVBoxLayout;
  body->setContentsMargins(10, 10, 10, 10);
  body->setSpacing(6);
  Label4 =
      new QLabel(QStringLiteral("Select target directory where you want to store files:"), page);
  edtRestoreDir = new QLineEdit(page);
  edtRestoreDir->setAccessibleName(QStringLiteral("Target directory"));
  edtRestoreDir->setAcceptDrops(false);
  Label4->setBuddy(edtRestoreDir);
  btnBrowse = new QToolButton(page);
  btnBrowse->setText(QStringLiteral("..."));
  btnBrowse->setAccessibleName(QStringLiteral("Browse for target directory"));
  btnBrowse->setToolTip(btnBrowse->accessibleName());
  btnBrowse->setFixedWidth(27);
  btnBrowse->setFocusPolicy(Qt::StrongFocus);
  auto* edit = new QHBoxLayout;
  edit->setSpacing(0);
  edit->addWidget(edtRestoreDir);
  edit->addWidget(btnBrowse);
  SourceDiskInfoFrame = new TDiskInfoFrame(page, *FSources.DriveTable);
  SourceDiskInfoFrame->SetCaption(QStringLiteral("Source drive"));
  TargetDiskInfoFrame = new TDiskInfoFrame(page, *FSources.DriveTable);
  TargetDiskInfoFrame->SetCaption(QStringLiteral("Target Drive"));
  lblFreeSpaceNotEnough = new QLabel(page);
  lblFreeSpaceNotEnough->setTextFormat(Qt::PlainText);
  lblFreeSpaceNotEnough->setWordWrap(true);
  QPalette red = lblFreeSpaceNotEnough->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  lblFreeSpaceNotEnough->setPalette(red);
  lblFreeSpaceNotEnough->hide();
  body->addWidget(Label4);
  body->addLayout(edit);
  body->addWidget(SourceDiskInfoFrame);
  body->addWidget(TargetDiskInfoFrame);
  body->addWidget(lblFreeSpaceNotEnough);
  body->addStretch(1);
  layout->addLayout(body, 1);
  return page;
}

QWidget* TMainForm::BuildSelectFilesPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsSelectFilesPage"));
  QVBoxLayout* layout =
      PageLayout(page, QStringLiteral("Files were found on your CD/DVD/Blu-Ray drive"),
                 QStringLiteral("Select files you want to recover"));
  auto* body = new QVBoxLayout;
  body->setContentsMargins(10, 10, 10, 0);
  tvFiles = new QTreeView(page);
  FFilesModel = new TFileTreeModel(FSelection, tvFiles);
  tvFiles->setModel(FFilesModel);
  tvFiles->setAccessibleName(QStringLiteral("Files"));
  tvFiles->setHeaderHidden(true);
  tvFiles->setIndentation(19);
  tvFiles->setUniformRowHeights(true);
  tvFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The column is as wide as the widest row shown, so that a deep or long
  // entry brings a horizontal scroll bar instead of being cut off.
  tvFiles->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tvFiles->header()->setStretchLastSection(false);
  body->addWidget(tvFiles, 1);
  auto* pnlOptions = new QHBoxLayout;
  pnlOptions->setContentsMargins(0, 8, 0, 6);
  pnlOptions->setSpacing(6);
  btnCheckAll = new QPushButton(QStringLiteral("Check All"), page);
  btnUncheckAll = new QPushButton(QStringLiteral("Uncheck All"), page);
  for (QPushButton* b : {btnCheckAll, btnUncheckAll}) {
    b->setFixedSize(120, 25);
    pnlOptions->addWidget(b);
  }
  pnlOptions->addStretch(1);
  body->addLayout(pnlOptions);
  layout->addLayout(body, 1);
  QWidget::setTabOrder(btnCheckAll, btnUncheckAll);
  QWidget::setTabOrder(btnUncheckAll, tvFiles);
  return page;
}

QWidget* TMainForm::BuildLogPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tsLogPage"));
  QVBoxLayout* layout =
      PageLayout(page, QStringLiteral("Restore log"),
                 QStringLiteral("This page contains information about restore process"));
  reRestoreLog = new QTextEdit(page);
  reRestoreLog->setAccessibleName(QStringLiteral("Restore log"));
  reRestoreLog->setReadOnly(true);
  reRestoreLog->setAcceptRichText(false);
  reRestoreLog->setLineWrapMode(QTextEdit::NoWrap);
  reRestoreLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reRestoreLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reRestoreLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QPalette pal = reRestoreLog->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Button));
  reRestoreLog->setPalette(pal);
  SetHelpContext(reRestoreLog, 204);
  auto* body = new QVBoxLayout;
  body->setContentsMargins(10, 10, 10, 10);
  body->addWidget(reRestoreLog);
  layout->addLayout(body, 1);
  return page;
}

void TMainForm::BuildBottomPanel() {
  pnlBottomMain = new QFrame(this);
  static_cast<QFrame*>(pnlBottomMain)->setFrameShape(QFrame::StyledPanel);
  pnlBottomMain->setFixedHeight(57);
  btnHowItWorks = new QPushButton(GearsIcon(), QStringLiteral("How it works?"), pnlBottomMain);
  btnHowItWorks->setAccessibleName(QStringLiteral("How it works?"));
  btnHowItWorks->setIconSize(QSize(32, 32));
  btnHowItWorks->setFixedSize(158, 40);
  btnYouTube = new QPushButton(VideoIcon(), QString(), pnlBottomMain);
  btnYouTube->setAccessibleName(QStringLiteral("Video"));
  btnYouTube->setIconSize(QSize(32, 32));
  btnYouTube->setFixedSize(56, 40);
  btnPrev = GlyphButton(QStringLiteral("  Back"), QStringLiteral("Back"), pnlBottomMain);
  btnPrev->setIcon(ButtonGlyph(bgLeftArrow));
  btnNext = GlyphButton(QStringLiteral("Next  "), QStringLiteral("Next"), pnlBottomMain);
  btnNext->setLayoutDirection(Qt::RightToLeft);  // the glyph follows the caption
  btnCancel = GlyphButton(QStringLiteral("  Exit"), QStringLiteral("Exit"), pnlBottomMain);
  btnCancel->setIcon(ButtonGlyph(bgCross));
  auto* row = new QHBoxLayout(pnlBottomMain);
  row->setContentsMargins(19, 6, 14, 6);
  row->setSpacing(6);
  row->addWidget(btnHowItWorks);
  row->addSpacing(8);
  row->addWidget(btnYouTube);
  row->addStretch(1);
  row->addWidget(btnPrev);
  row->addWidget(btnNext);
  row->addSpacing(35);
  row->addWidget(btnCancel);
  QWidget::setTabOrder(btnPrev, btnNext);
  QWidget::setTabOrder(btnNext, btnCancel);
  QWidget::setTabOrder(btnCancel, btnHowItWorks);
  // Enter runs the default button and Escape the cancel button, as in a dialog.
  for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), this);
    connect(enter, &QShortcut::activated, this, &TMainForm::DefaultKeyPressed);
  }
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TMainForm::CancelKeyPressed);
}
