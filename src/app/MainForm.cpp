// The main window's construction, its track list, its layout and its closing.
#include "MainForm.h"

#include "AccurateRipLookup.h"
#include "ApplyLanguage.h"
#include "AuCDROM.h"
#include "CDDBInfo.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "Global.h"
#include "MainFormShared.h"
#include "Mci.h"
#include "Mp3EncodeThread.h"
#include "TrackList.h"
#include "WMAEncodeThread.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

using namespace mainform;

namespace {

const QColor FormColor(214, 223, 247);
const QColor ListColor(239, 239, 255);
const QColor StatusColor(220, 225, 255);

// How often the opened drive is asked whether its disc changed, while the window is active.
constexpr int MediaPollMs = 2000;

void SetColor(QWidget *widget, QPalette::ColorRole role, const QColor &color) {
  QPalette palette = widget->palette();
  palette.setColor(role, color);
  widget->setPalette(palette);
}

} // namespace

namespace mainform {

QString Q(const std::string &text) { return QString::fromStdString(text); }

int Inform(const std::string &text) {
  return plat::MessageBox(text, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Information);
}

void ShowError(const std::string &text) {
  plat::MessageBox(text, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
}

void IgnoringFailures(const std::function<void()> &step) {
  try {
    step();
  } catch (...) {
  }
}

std::string SettingsNotSaved() {
  std::string text = GetLanString("RES_Settings_Not_Saved",
                                  "The settings and disc titles could not be saved in %s.");
  if (const size_t at = text.find("%s"); at != std::string::npos)
    text.replace(at, 2, GetSettingsFolder());
  return text;
}

std::string CheckCDRom() {
  return GetLanString("RES_Check_CDRom", "Can not find audio CD in your CD device.");
}
std::string GetCDHandleFirst() {
  return GetLanString("RES_Get_CDHandle", "Please access CD devices rightly above all!");
}

} // namespace mainform

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), Mp3Encoder(std::make_unique<TMp3EncodeProcess>()),
      WmaEncoder(std::make_unique<TWMAEncodeProcess>()) {
  SetSettingsProblemHandler(ShowError);
  LoadSaveOptions(true);
  setObjectName("MainForm");
  setWindowTitle(Q(std::string(product::Name) + " " + product::Version));
  resize(640, 440);

  // The list and the status panel are placed by ArrangeControls on a plain client area.
  auto *client = new QWidget(this);
  setCentralWidget(client);
  SetColor(client, QPalette::Window, FormColor);
  client->setAutoFillBackground(true);

  ListView1 = new QTreeWidget(client);
  ListView1->setObjectName("ListView1");
  ListView1->setHeaderLabels({"No.", "Title", "Length(min)", "Size(MB)"});
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView1->header()->setStretchLastSection(false);
  ListView1->setColumnWidth(0, 60);
  ListView1->setColumnWidth(1, 300);
  ListView1->setColumnWidth(2, 100);
  ListView1->setColumnWidth(3, 90);
  SetColor(ListView1, QPalette::Base, ListColor);

  StatusPanel1 = new QLabel(client);
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setFrameShape(QFrame::Panel);
  StatusPanel1->setFrameShadow(QFrame::Sunken);
  StatusPanel1->setAutoFillBackground(true);
  SetColor(StatusPanel1, QPalette::Window, StatusColor);

  CreateActions();
  CreateMenus();
  CreateToolBar();
  FMciNotify = std::make_unique<TMciNotifyWindow>(*this);

  connect(ListView1, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
  connect(ListView1, &QTreeWidget::itemChanged, this, [this] { UpdateActions(); });
  connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
  connect(ListView1, &QTreeWidget::itemClicked, this,
          [this] { ListView1Click(QApplication::keyboardModifiers() & Qt::ControlModifier); });
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });

  FMediaPoll = new QTimer(this);
  FMediaPoll->setInterval(MediaPollMs);
  connect(FMediaPoll, &QTimer::timeout, this, [this] { CheckMediaChange(); });

  UpdateActions();
}

TMainForm::~TMainForm() {
  // A window freed without being closed (the command line's list) still gives its drive back.
  if (CDHandle != 0)
    CloseDrive();
}

// ---- the list ----

void TMainForm::AddRow(int track, const TTrackLength &length, uint8_t control) {
  std::string &title = DiscInfo.Titles[track];
  if (title.empty())
    title = "Track" + TwoDigits(track);
  auto *row = new QTreeWidgetItem(ListView1);
  row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  row->setText(0, QString::number(track));
  row->setCheckState(0, Qt::Checked);
  row->setText(1, Q(title));
  row->setText(2, Q(LengthText(length) + PreEmphasisMark(control)));
  row->setText(3, Q(SizeText(length)));
  if (!PreEmphasisMark(control).empty())
    for (int column = 0; column < 4; ++column)
      row->setToolTip(column, Q(GetLanString("RES_PreEmphasis", "Recorded with pre-emphasis")));
}

int TMainForm::RowCount() const { return ListView1->topLevelItemCount(); }

std::string TMainForm::RowText(int row, int column) const {
  return ListView1->topLevelItem(row)->text(column).toStdString();
}

void TMainForm::SetRowTitle(int row, const std::string &title, const char *source) {
  ListView1->topLevelItem(row)->setText(1, Q(title));
  if (const int track = std::stoi(RowText(row, 0)); track >= 1 && track <= MaxDiscTitles) {
    DiscInfo.Titles[track] = title;
    DiscInfo.TitleSources[track] = source;
  }
}

bool TMainForm::RowChecked(int row) const {
  return ListView1->topLevelItem(row)->checkState(0) == Qt::Checked;
}

void TMainForm::SetRowChecked(int row, bool checked) {
  ListView1->topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void TMainForm::ClearTrackList() {
  ListView1->clear();
  FListDiscID.clear();
  UpdateActions();
}

int TMainForm::CheckedCount() const {
  int count = 0;
  for (int row = 0; row < RowCount(); ++row)
    count += RowChecked(row);
  return count;
}

std::string TMainForm::StatusText() const { return StatusPanel1->text().toStdString(); }

void TMainForm::SetStatus(const std::string &text) { StatusPanel1->setText(Q(text)); }

void TMainForm::UpdateActions() {
  bool anyChecked = CheckedCount() > 0;
  ActionExtract->setEnabled(anyChecked);
  FExtractButton->setEnabled(anyChecked);
  UpdatePlaybackActions();
  aEditTrackName->setEnabled(ListView1->currentItem() != nullptr);
}

void TMainForm::ListView1Click(bool ctrlHeld) {
  QTreeWidgetItem *row = ListView1->currentItem();
  if (ctrlHeld && row)
    row->setCheckState(0, row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void TMainForm::ActionSelectAllExecute() {
  for (int row = 0; row < RowCount(); ++row)
    SetRowChecked(row, true);
}

void TMainForm::ActionNoSelectExecute() {
  for (int row = 0; row < RowCount(); ++row)
    SetRowChecked(row, false);
}

// ---- layout ----

void TMainForm::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  painter.fillRect(rect(), FormColor);
}

void TMainForm::resizeEvent(QResizeEvent *event) {
  QMainWindow::resizeEvent(event);
  ArrangeControls();
}

void TMainForm::ArrangeControls() {
  // The client area below the tool bar, with the list above the status panel.
  QWidget *client = centralWidget();
  const int width = client->width(), height = client->height();
  const int statusHeight = StatusPanel1->sizeHint().height() + 4;
  ListView1->setGeometry(8, 0, width - 16, height - statusHeight - 12);
  StatusPanel1->setGeometry(8, height - statusHeight - 8, width - 16, statusHeight);
}

// ---- closing ----

void TMainForm::closeEvent(QCloseEvent *event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TMainForm::FormCloseQuery() {
  if (Mp3Encoder->Busy)
    Mp3Encoder->Stop(0);
  if (WmaEncoder->Busy)
    WmaEncoder->Stop(0);
  return true;
}

void TMainForm::StoreListTitles() {
  // Titles are kept by track number, as the list was filled, also on a disc whose first track
  // is not 1.
  DiscInfo.TitleCount = 0;
  for (int row = 0; row < RowCount(); ++row) {
    int track = std::stoi(RowText(row, 0));
    DiscInfo.Titles[track] = RowTitle(row);
    DiscInfo.TitleCount = std::max(DiscInfo.TitleCount, track);
  }
}

bool TMainForm::SaveListInfo() {
  StoreListTitles();
  return SaveDiscInfo(FListDiscID);
}

void TMainForm::FormClose() {
  if (FClosed)
    return;
  FClosed = true;
  bool saved = true;
  IgnoringFailures([this, &saved] { saved = SaveListInfo(); });
  IgnoringFailures([this] {
    if (CDHandle != 0 && !CloseDrive())
      ShowError(GetLanString("RES_Close_CD_Error", "Error while closing CD handle!"));
  });
  if (Playing) {
    plat::mciSendString("stop cdaudio");
    plat::mciSendString("close cdaudio");
  }
  IgnoringFailures([&saved] { saved = LoadSaveOptions(false) && saved; });
  if (!saved && !SettingsProblemTold())
    ShowError(SettingsNotSaved());
}
