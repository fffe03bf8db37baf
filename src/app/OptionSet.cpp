#include "OptionSet.h"

#include "ApplyLanguage.h"
#include "AudioDisc.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "Folders.h"
#include "Genres.h"
#include "Global.h"
#include "Mp3BitRate.h"
#include "OutputFormats.h"
#include "ReadOffset.h"
#include "Text.h"
#include "ToolWidgets.h"
#include "WMAEncodeThread.h"
#include "akrip32.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <QApplication>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }
std::string S(const QString &text) { return text.toStdString(); }

// " 32 kbit/s" ... "320 kbit/s".
const QStringList Mp3BitRates = [] {
  QStringList texts;
  for (int rate : Mpeg1Layer3BitRates)
    texts << QString("%1 kbit/s").arg(rate, 3);
  return texts;
}();
// The output formats by their numbers.
const QStringList FormatCaptions = [] {
  QStringList texts;
  for (const TOutputFormat &format : OutputFormats)
    texts << format.Caption;
  return texts;
}();
const QStringList OggBitRates = {" Default",   " 45 kbit/s", " 48 kbit/s", " 56 kbit/s",
                                 " 64 kbit/s", " 80 kbit/s", " 96 kbit/s", "112 kbit/s",
                                 "128 kbit/s", "144 kbit/s", "160 kbit/s", "192 kbit/s",
                                 "224 kbit/s", "256 kbit/s", "320 kbit/s"};

constexpr int DefaultBitRate = 8;     // "128 kbit/s"
constexpr int DefaultMaxBitRate = 13; // "320 kbit/s"
constexpr int DefaultWmaProfile = 8;  // 44.100 kHz, 64 kbit/s, stereo

QCheckBox *CheckBox(const char *name, const char *caption, QWidget *parent) {
  auto *box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

QComboBox *List(const char *name, const QStringList &items, QWidget *parent) {
  auto *list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  return list;
}

QLineEdit *Edit(const char *name, QWidget *parent) {
  auto *edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

// A page of the page control, named after its component.
QWidget *Page(const char *name) {
  auto *page = new QWidget;
  page->setObjectName(name);
  return page;
}

// The kbit/s of a bit-rate list: the number its text starts with.
int BitRateOf(const QComboBox *list) { return LeadingNumber(S(list->currentText())); }

// Shows a stored list position; one outside the list (a hand-edited options.ini) shows as the
// nearest position, so OK never stores a position the list does not have.
void ShowPosition(QComboBox *list, int position) {
  list->setCurrentIndex(std::clamp(position, 0, list->count() - 1));
}

// The rip length in seconds: a whole number of at least 0.
bool ReadRipTime(const QString &text, int &seconds) {
  try {
    seconds = plat::StrToInt(S(text.trimmed()));
  } catch (const std::invalid_argument &) {
    return false;
  }
  return seconds >= 0;
}

// Shows a tag field in its box. The box takes at most 30 characters from the keyboard (4 for
// the year), as an ID3v1 tag does, but a longer value that came from elsewhere is shown whole,
// so an OK for another setting does not cut it.
void ShowTagText(QLineEdit *edit, const std::string &text, int limit) {
  const QString shown = Q(text);
  edit->setMaxLength(std::max<int>(limit, shown.size()));
  edit->setText(shown);
}

bool FolderExists(const std::string &folder) {
  std::error_code ec;
  return !folder.empty() && std::filesystem::is_directory(folder, ec);
}

} // namespace

TOptionSetForm::TOptionSetForm(TOptionSetHost host, QWidget *parent)
    : QDialog(parent), FHost(std::move(host)) {
  setObjectName("OptionSetForm");
  setWindowTitle("Options");
  setModal(true);
  resize(430, 331);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->addTab(OutputPage(), "Output");
  PageControl1->addTab(Mp3Page(), "MP3");
  PageControl1->addTab(OggPage(), "OGG");
  PageControl1->addTab(WmaPage(), "WMA");
  PageControl1->addTab(Id3Page(), "ID3 Tag");
  PageControl1->addTab(CDRomPage(), "CD-ROM");
  PageControl1->addTab(FlacOpusPage(), "FLAC/Opus");
  PageControl1->setCurrentIndex(0);
  // Every page's caption in full, in any language: the window is as wide as the tab row needs.
  PageControl1->tabBar()->setUsesScrollButtons(false);
  PageControl1->tabBar()->setElideMode(Qt::ElideNone);

  btOk = Button("btOk", "OK", this);
  btCancel = Button("btCancel", "Cancel", this);
  auto *buttons = new QVBoxLayout;
  buttons->addWidget(btOk);
  buttons->addWidget(btCancel);
  buttons->addStretch();
  auto *layout = new QHBoxLayout(this);
  layout->addWidget(PageControl1, 1);
  layout->addLayout(buttons);

  connect(btOk, &QPushButton::clicked, this, [this] { btOkClick(); });
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btBrowser, &QPushButton::clicked, this, [this] { btBrowserClick(); });
  connect(bDefault, &QPushButton::clicked, this, [this] { bDefaultClick(); });
  connect(bWMADefault, &QPushButton::clicked, this, [this] { bWMADefaultClick(); });
  for (QCheckBox *box : {ckNormalize, cbRipTime, ckbSelectVBR})
    connect(box, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  connect(cbOutputFormat, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabled(); });
  connect(cbCDList, &QComboBox::currentIndexChanged, this, [this] { cbCDListChange(); });
  connect(btDetectOffset, &QPushButton::clicked, this, [this] { btDetectOffsetClick(); });
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int page) {
    if (PageControl1->widget(page)->objectName() == "TabSheet3")
      TabSheet3Show();
  });
}

QWidget *TOptionSetForm::OutputPage() {
  QWidget *page = Page("TabSheet1");
  auto *folderGroup = new QGroupBox("Output directory(WAV/MP3)", page);
  folderGroup->setObjectName("GroupBox1");
  editOutputDir = Edit("editOutputDir", folderGroup);
  btBrowser = Button("btBrowser", "...", folderGroup);
  btBrowser->setFixedWidth(28);
  auto *folderRow = new QHBoxLayout(folderGroup);
  folderRow->addWidget(editOutputDir);
  folderRow->addWidget(btBrowser);

  ckbKeepWav = CheckBox("ckbKeepWav", "Delete WAV file after processing", page);

  auto *formatGroup = new QGroupBox("Output format", page);
  formatGroup->setObjectName("GroupBox2");
  cbOutputFormat = List("cbOutputFormat", FormatCaptions, formatGroup);
  ckNormalize = CheckBox("ckNormalize", "Normalize", formatGroup);
  SpinEdit1 = new QSpinBox(formatGroup);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setRange(0, 100);
  SpinEdit1->findChild<QLineEdit *>()->setReadOnly(true); // changed by its arrows only
  auto *formatGrid = new QGridLayout(formatGroup);
  formatGrid->addWidget(Label("Label1", "Format:", formatGroup), 0, 0);
  formatGrid->addWidget(cbOutputFormat, 0, 1, 1, 2);
  formatGrid->addWidget(ckNormalize, 1, 0);
  formatGrid->addWidget(SpinEdit1, 1, 1);
  formatGrid->addWidget(Label("Label2", "%", formatGroup), 1, 2);

  GroupBox4 = new QGroupBox(page);
  GroupBox4->setObjectName("GroupBox4");
  cbRipTime = CheckBox("cbRipTime", "Enable to set the length to extract", GroupBox4);
  eRipTime = Edit("eRipTime", GroupBox4);
  auto *ripGrid = new QGridLayout(GroupBox4);
  ripGrid->addWidget(cbRipTime, 0, 0, 1, 3);
  ripGrid->addWidget(Label("Label3", "The song length:", GroupBox4), 1, 0);
  ripGrid->addWidget(eRipTime, 1, 1);
  ripGrid->addWidget(Label("Label4", "Second", GroupBox4), 1, 2);

  auto *column = new QVBoxLayout(page);
  column->addWidget(folderGroup);
  column->addWidget(ckbKeepWav);
  column->addWidget(formatGroup);
  column->addWidget(GroupBox4);
  column->addStretch();
  return page;
}

QWidget *TOptionSetForm::Mp3Page() {
  QWidget *page = Page("TabSheet2");
  ckbSelectVBR = CheckBox("ckbSelectVBR", "Enable Variable Bitrate(VBR)", page);
  ckbVBRHead = CheckBox("ckbVBRHead", "Disable writing of the VBR Tag", page);
  cbBitRate = List("cbBitRate", Mp3BitRates, page);
  cbBitRate->setEditable(true);
  cbMaxBitRate = List("cbMaxBitRate", Mp3BitRates, page);
  cbMaxBitRate->setEditable(true);
  cbVBRQuality = List("cbVBRQuality", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, page);
  cbMpegQuality =
      List("cbMpegQuality",
           {"Default", "Faster encode/Lower quality", "Slower encode/Higher quality"}, page);
  cbStereoMode =
      List("cbStereoMode",
           {"Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels", "Mono"}, page);
  bDefault = Button("bDefault", "&Default", page);
  seStallTime = new QSpinBox(page);
  seStallTime->setObjectName("seStallTime");
  seStallTime->setRange(MinStallTime, MaxStallTime);
  seStallTime->setSuffix(" s");
  seStallTime->setToolTip("An encoder that makes no progress for this long is stopped and its "
                          "track fails");

  auto *grid = new QGridLayout(page);
  grid->addWidget(ckbSelectVBR, 0, 0, 1, 2);
  grid->addWidget(ckbVBRHead, 1, 0, 1, 2);
  const std::pair<const char *, const char *> captions[] = {{"Label5", "Minimum bitrate:"},
                                                            {"Label6", "Maximum bitrate:"},
                                                            {"Label7", "VBR Quality:"},
                                                            {"Label8", "Speed/Quality:"},
                                                            {"Label9", "Mode:"}};
  QComboBox *lists[] = {cbBitRate, cbMaxBitRate, cbVBRQuality, cbMpegQuality, cbStereoMode};
  for (int row = 0; row < 5; ++row) {
    grid->addWidget(Label(captions[row].first, captions[row].second, page), row + 2, 0);
    grid->addWidget(lists[row], row + 2, 1);
  }
  grid->addWidget(Label("Label24", "Stall time:", page), 7, 0);
  grid->addWidget(seStallTime, 7, 1);
  grid->addWidget(bDefault, 8, 1, Qt::AlignRight);
  grid->setRowStretch(9, 1);
  return page;
}

QWidget *TOptionSetForm::OggPage() {
  QWidget *page = Page("TabSheet5");
  cbUseCompress = CheckBox("cbUseCompress", "Use Quality setting", page);
  tbCompression = new QSlider(Qt::Horizontal, page);
  tbCompression->setObjectName("tbCompression");
  tbCompression->setRange(30, 100);
  tbCompression->setTickPosition(QSlider::NoTicks);
  auto *quality = new QHBoxLayout;
  quality->addWidget(tbCompression, 1);
  quality->addWidget(Label("Label10", "-> Highest quality", page));

  auto *manager = new QGroupBox("Use Bitrate manager", page);
  manager->setObjectName("GroupBox3");
  cbOggNomBit = List("cbOggNomBit", OggBitRates, manager);
  cbOggMaxBit = List("cbOggMaxBit", OggBitRates, manager);
  cbOggMinBit = List("cbOggMinBit", OggBitRates, manager);
  auto *grid = new QGridLayout(manager);
  grid->addWidget(Label("Label11", "Nominal bitrate:", manager), 0, 0);
  grid->addWidget(cbOggNomBit, 0, 1);
  grid->addWidget(Label("Label12", "Maximum bitrate:", manager), 1, 0);
  grid->addWidget(cbOggMaxBit, 1, 1);
  grid->addWidget(Label("Label13", "Minimum bitrate:", manager), 2, 0);
  grid->addWidget(cbOggMinBit, 2, 1);

  auto *column = new QVBoxLayout(page);
  column->addWidget(cbUseCompress);
  column->addLayout(quality);
  column->addWidget(manager);
  column->addStretch();
  return page;
}

QWidget *TOptionSetForm::WmaPage() {
  QWidget *page = Page("TabSheet6");
  cbWMABitrate = new QComboBox(page);
  cbWMABitrate->setObjectName("cbWMABitrate");
  for (const TWmaProfile &profile : WmaProfiles)
    cbWMABitrate->addItem(profile.ShownAs);
  bWMADefault = Button("bWMADefault", "&Default", page);
  auto *grid = new QGridLayout(page);
  grid->addWidget(Label("Label14", "Audio Bitrate:", page), 0, 0);
  grid->addWidget(cbWMABitrate, 0, 1);
  grid->addWidget(bWMADefault, 1, 1, Qt::AlignRight);
  grid->setRowStretch(2, 1);
  return page;
}

QWidget *TOptionSetForm::FlacOpusPage() {
  QWidget *page = Page("TabSheet7");
  auto *flac = new QGroupBox("FLAC", page);
  flac->setObjectName("GroupBox5");
  seFLACLevel = new QSpinBox(flac);
  seFLACLevel->setObjectName("seFLACLevel");
  seFLACLevel->setRange(0, 8);
  auto *flacGrid = new QGridLayout(flac);
  flacGrid->addWidget(Label("Label21", "Compression level:", flac), 0, 0);
  flacGrid->addWidget(seFLACLevel, 0, 1);
  flacGrid->addWidget(Label("Label22", "0 = fastest, 8 = smallest file", flac), 1, 0, 1, 2);

  auto *opus = new QGroupBox("Opus", page);
  opus->setObjectName("GroupBox6");
  seOpusBitRate = new QSpinBox(opus);
  seOpusBitRate->setObjectName("seOpusBitRate");
  seOpusBitRate->setRange(32, 256);
  seOpusBitRate->setSingleStep(16);
  seOpusBitRate->setSuffix(" kbit/s");
  auto *opusGrid = new QGridLayout(opus);
  opusGrid->addWidget(Label("Label23", "Variable bitrate:", opus), 0, 0);
  opusGrid->addWidget(seOpusBitRate, 0, 1);

  auto *column = new QVBoxLayout(page);
  column->addWidget(flac);
  column->addWidget(opus);
  column->addStretch();
  return page;
}

QWidget *TOptionSetForm::Id3Page() {
  QWidget *page = Page("TabSheet4");
  cbUseID3 = CheckBox("cbUseID3", "Use ID3 tag", page);
  ID3artist = Edit("ID3artist", page);
  ID3album = Edit("ID3album", page);
  ID3year = Edit("ID3year", page);
  ID3genre = new QComboBox(page);
  ID3genre->setObjectName("ID3genre");
  ID3genre->addItem("");
  for (const TGenre &genre : GenreList)
    ID3genre->addItem(genre.Name);
  ID3comment = Edit("ID3comment", page);

  auto *grid = new QGridLayout(page);
  grid->addWidget(cbUseID3, 0, 0, 1, 2);
  const std::pair<const char *, const char *> captions[] = {{"Label15", "Artist:"},
                                                            {"Label16", "Album:"},
                                                            {"Label17", "Year:"},
                                                            {"Label18", "Genre:"},
                                                            {"Label19", "Comment:"}};
  QWidget *fields[] = {ID3artist, ID3album, ID3year, ID3genre, ID3comment};
  for (int row = 0; row < 5; ++row) {
    grid->addWidget(Label(captions[row].first, captions[row].second, page), row + 1, 0);
    grid->addWidget(fields[row], row + 1, 1);
  }
  grid->setRowStretch(6, 1);
  return page;
}

QWidget *TOptionSetForm::CDRomPage() {
  QWidget *page = Page("TabSheet3");
  cbCDList = new QComboBox(page);
  cbCDList->setObjectName("cbCDList");
  ckbCDDb = CheckBox("ckbCDDb", "Get CD information from CD DB", page);
  ckbCDDb->setVisible(false);
  ckbSecureRip = CheckBox("ckbSecureRip", "Secure rip (error correction, slower)", page);
  ckbDeemphasis = CheckBox("ckbDeemphasis", "Undo pre-emphasis on tracks recorded with it", page);
  ckbHiddenTrack = CheckBox("ckbHiddenTrack", "List a hidden track before track 1", page);
  seReadOffset = new QSpinBox(page);
  seReadOffset->setObjectName("seReadOffset");
  seReadOffset->setRange(MinReadOffset, MaxReadOffset);
  seReadOffset->setSuffix(Q(" " + GetLanString("RES_Samples", "samples")));
  btDetectOffset = Button("btDetectOffset", "Detect read offset", page);
  btDetectOffset->setVisible(static_cast<bool>(FHost.DetectOffset));
  auto *offsetRow = new QHBoxLayout;
  offsetRow->addWidget(seReadOffset);
  offsetRow->addWidget(btDetectOffset);
  offsetRow->addStretch();
  cbTitleSources =
      List("cbTitleSources", {"freedb", "MusicBrainz", "MusicBrainz, then freedb"}, page);
  auto *grid = new QGridLayout(page);
  grid->addWidget(Label("Label20", "Device:", page), 0, 0);
  grid->addWidget(cbCDList, 0, 1);
  grid->addWidget(ckbCDDb, 1, 0, 1, 2);
  grid->addWidget(ckbSecureRip, 2, 0, 1, 2);
  grid->addWidget(Label("lReadOffset", "Read offset:", page), 3, 0);
  grid->addLayout(offsetRow, 3, 1);
  grid->addWidget(Label("lTitleSources", "Title sources:", page), 4, 0);
  grid->addWidget(cbTitleSources, 4, 1);
  grid->addWidget(ckbDeemphasis, 5, 0, 1, 2);
  grid->addWidget(ckbHiddenTrack, 6, 0, 1, 2);
  grid->setRowStretch(7, 1);
  grid->setColumnStretch(1, 1);
  return page;
}

void TOptionSetForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TOptionSetForm::FormShow() {
  ApplyChosenLanguage(this);
  FillControls();
  GroupBox4->setVisible(FHost.OpenDrive >= 0 && !FHost.DriveNames);
}

void TOptionSetForm::FillControls() {
  const TGlobalOptions &o = GlobalOptions;
  editOutputDir->setText(Q(o.OutputFolder));
  ShowPosition(cbOutputFormat, o.OutputFormat);
  ckbKeepWav->setChecked(!o.IsKeepWav);
  ckNormalize->setChecked(o.IsNormalize);
  SpinEdit1->setValue(o.NormalizePercent);
  cbRipTime->setChecked(o.EnableRipTime);
  eRipTime->setText(QString::number(o.RipTime));
  ckbSelectVBR->setChecked(o.IsSelectVBR);
  ckbVBRHead->setChecked(o.IsVBRHead);
  cbBitRate->setEditText(QString::number(o.BitRate) + " kbit/s");
  cbMaxBitRate->setEditText(QString::number(o.MaxBitRate) + " kbit/s");
  ShowPosition(cbMpegQuality, o.MpegQuality);
  ShowPosition(cbVBRQuality, o.VBRQuality);
  ShowPosition(cbStereoMode, o.StereoMode);
  seStallTime->setValue(o.StallTime);
  cbUseCompress->setChecked(o.IsUseCompress);
  tbCompression->setValue(o.CompressPosition);
  ShowPosition(cbOggNomBit, o.OggNomalBitRate);
  ShowPosition(cbOggMaxBit, o.OggMaxBitRate);
  ShowPosition(cbOggMinBit, o.OggMinBitRate);
  ShowPosition(cbWMABitrate, o.WMABitRate);
  seFLACLevel->setValue(o.FLACCompression);
  seOpusBitRate->setValue(o.OpusBitRate);
  // The drive the main window has open is the one shown as chosen, also when it was chosen
  // for this run only.
  OldCDIndex = FHost.OpenDrive >= 0 ? FHost.OpenDrive : std::max(o.CDIndex, 0);
  OldCDDb = o.CDDb;
  ckbCDDb->setChecked(o.CDDb);
  OldSecureRip = o.SecureRip;
  ckbSecureRip->setChecked(o.SecureRip);
  ckbDeemphasis->setChecked(o.Deemphasis);
  ckbHiddenTrack->setChecked(o.DetectHiddenTrack);
  FReadOffsets = o.ReadOffsets;
  FOffsetDrive.clear();
  cbCDListChange();
  ShowPosition(cbTitleSources, o.TitleSources);
  cbUseID3->setChecked(o.UseID3);
  ShowTagText(ID3artist, DiscInfo.Artist, 30);
  ShowTagText(ID3album, DiscInfo.Album, 30);
  ShowTagText(ID3year, DiscInfo.Year, 4);
  ShowTagText(ID3comment, DiscInfo.Comment, 30);
  ShowPosition(ID3genre, DiscInfo.Genre + 1);
  UpdateEnabled();
}

void TOptionSetForm::UpdateEnabled() {
  SpinEdit1->setEnabled(ckNormalize->isChecked());
  eRipTime->setEnabled(cbRipTime->isChecked());
  const bool vbr = ckbSelectVBR->isChecked();
  ckbVBRHead->setEnabled(vbr);
  cbMaxBitRate->setEnabled(vbr);
  cbVBRQuality->setEnabled(vbr);
  // A WAV output keeps its WAV files whatever the box says.
  const TOutputFormat *format = FormatOfNumber(cbOutputFormat->currentIndex());
  ckbKeepWav->setEnabled(!format || format->Encoder != TEncoderKind::None);
}

void TOptionSetForm::TabSheet3Show() {
  cbCDList->clear();
  if (FHost.DriveNames) {
    for (const std::string &name : FHost.DriveNames())
      cbCDList->addItem(Q(name));
  } else {
    TCDDriveList list{};
    list.Capacity = MaxCDDrives;
    GetCDList(&list);
    for (int i = 0; i < list.Count; ++i)
      cbCDList->addItem(Q(cd::DriveText(list.Drives[i])).trimmed());
  }
  cbCDList->setCurrentIndex(OldCDIndex < cbCDList->count() ? OldCDIndex : -1);
}

void TOptionSetForm::KeepDriveOffset() {
  if (FOffsetDrive.empty())
    return;
  if (seReadOffset->value() == 0)
    FReadOffsets.erase(FOffsetDrive);
  else
    FReadOffsets[FOffsetDrive] = seReadOffset->value();
}

void TOptionSetForm::cbCDListChange() {
  KeepDriveOffset();
  FOffsetDrive = cd::DriveKey(cbCDList->currentIndex());
  const auto stored = FReadOffsets.find(FOffsetDrive);
  seReadOffset->setValue(stored == FReadOffsets.end() ? 0 : stored->second);
  seReadOffset->setEnabled(!FOffsetDrive.empty());
  btDetectOffset->setEnabled(!FOffsetDrive.empty());
}

void TOptionSetForm::btDetectOffsetClick() {
  const int drive = cbCDList->currentIndex();
  if (drive < 0 || !FHost.DetectOffset)
    return;
  // The reads and the lookup take a few seconds, at most the lookup's time-outs.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TOffsetDetection found = FHost.DetectOffset(drive);
  QApplication::restoreOverrideCursor();
  if (!found.Found) {
    plat::MessageBox(DetectionText(found), product::Name, plat::TMsgButtons::OK,
                     plat::TMsgIcon::Warning);
    return;
  }
  const std::string question =
      DetectionText(found) + ".\n" +
      GetLanString("RES_Use_Read_Offset", "Use this read offset for the drive?");
  if (plat::MessageBox(question, product::Name, plat::TMsgButtons::YesNo,
                       plat::TMsgIcon::Question) == plat::idYes)
    seReadOffset->setValue(found.Offset);
}

void TOptionSetForm::bDefaultClick() {
  ckbSelectVBR->setChecked(false);
  ckbVBRHead->setChecked(false);
  cbBitRate->setCurrentIndex(DefaultBitRate);
  cbMaxBitRate->setCurrentIndex(DefaultMaxBitRate);
  cbVBRQuality->setCurrentIndex(4);
  cbMpegQuality->setCurrentIndex(0);
  cbStereoMode->setCurrentIndex(1);
}

void TOptionSetForm::bWMADefaultClick() { cbWMABitrate->setCurrentIndex(DefaultWmaProfile); }

void TOptionSetForm::btBrowserClick() {
  std::string folder = S(editOutputDir->text());
  if (!FolderExists(folder))
    folder = plat::ProgramFolder();
  if (plat::BrowseForFolder(GetLanString("RES_Select_Directory",
                                         "Please select the directory to save mp3 and wav file"),
                            folder))
    editOutputDir->setText(Q(folder));
}

void TOptionSetForm::Refuse(const std::string &text, QWidget *control) {
  plat::MessageBox(text, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
  if (PageControl1->currentWidget()->isAncestorOf(control))
    control->setFocus();
}

// The entries that can be wrong: the folder, the rip time and the bit rates; false after
// refusing the first one at fault.
bool TOptionSetForm::ReadCheckedEntries(std::string &folder, int &ripTime, int (&bitRates)[2]) {
  folder = S(editOutputDir->text());
  if (!FolderExists(folder)) {
    Refuse(folder + "," +
               GetLanString("RES_Directory_Not_Exist", "The output directory does not exist."),
           editOutputDir);
    return false;
  }
  if (!ReadRipTime(eRipTime->text(), ripTime)) {
    Refuse(GetLanString("RES_Rip_Time_Error", "Please check the song length to extract."),
           eRipTime);
    return false;
  }
  QComboBox *bitRateLists[2] = {cbBitRate, cbMaxBitRate};
  for (int i = 0; i < 2; ++i) {
    try {
      bitRates[i] = BitRateOf(bitRateLists[i]);
    } catch (const std::invalid_argument &e) {
      Refuse(e.what(), bitRateLists[i]);
      return false;
    }
    if (!IsMp3BitRate(bitRates[i])) {
      Refuse(std::to_string(bitRates[i]) + " kbit/s " +
                 GetLanString("RES_Mp3_BitRate_Error",
                              "is not an MP3 bit rate. Please choose one from the list."),
             bitRateLists[i]);
      return false;
    }
  }
  return true;
}

// The output and encoder settings of the pages, with the entries already checked.
void TOptionSetForm::StoreFormatOptions(const std::string &folder, int ripTime,
                                        const int (&bitRates)[2]) {
  TGlobalOptions &o = GlobalOptions;
  o.IsKeepWav = !ckbKeepWav->isChecked();
  o.OutputFormat = cbOutputFormat->currentIndex();
  o.OutputFolder = folder;
  o.IsNormalize = ckNormalize->isChecked();
  o.NormalizePercent = SpinEdit1->value();
  o.EnableRipTime = cbRipTime->isChecked();
  o.RipTime = ripTime;
  o.IsSelectVBR = ckbSelectVBR->isChecked();
  o.IsVBRHead = ckbVBRHead->isChecked();
  o.BitRate = bitRates[0];
  o.MaxBitRate = bitRates[1];
  o.MpegQuality = cbMpegQuality->currentIndex();
  o.VBRQuality = cbVBRQuality->currentIndex();
  o.StereoMode = cbStereoMode->currentIndex();
  o.StallTime = seStallTime->value();
  o.IsUseCompress = cbUseCompress->isChecked();
  o.CompressPosition = tbCompression->value();
  o.OggMaxBitRate = cbOggMaxBit->currentIndex();
  o.OggNomalBitRate = cbOggNomBit->currentIndex();
  o.OggMinBitRate = cbOggMinBit->currentIndex();
  o.WMABitRate = cbWMABitrate->currentIndex();
  o.FLACCompression = seFLACLevel->value();
  o.OpusBitRate = seOpusBitRate->value();
}

void TOptionSetForm::btOkClick() {
  std::string folder;
  int ripTime = 0;
  int bitRates[2] = {};
  if (!ReadCheckedEntries(folder, ripTime, bitRates))
    return;
  StoreFormatOptions(folder, ripTime, bitRates);

  TGlobalOptions &o = GlobalOptions;
  // The drive choice changes only when the user picked another drive: the list is empty
  // until its page is shown, and a drive opened for this run only is not saved as chosen.
  const int drive = cbCDList->currentIndex();
  const bool driveChosen = drive >= 0 && drive != OldCDIndex;
  if (driveChosen)
    o.CDIndex = drive;
  o.CDDb = ckbCDDb->isChecked();
  o.SecureRip = ckbSecureRip->isChecked();
  o.Deemphasis = ckbDeemphasis->isChecked();
  o.DetectHiddenTrack = ckbHiddenTrack->isChecked();
  KeepDriveOffset();
  o.ReadOffsets = FReadOffsets;
  o.TitleSources = cbTitleSources->currentIndex();
  o.UseID3 = cbUseID3->isChecked();
  DiscInfo.Artist = S(ID3artist->text());
  DiscInfo.Album = S(ID3album->text());
  DiscInfo.Year = S(ID3year->text());
  DiscInfo.Genre = ID3genre->currentIndex() - 1;
  DiscInfo.Comment = S(ID3comment->text());

  // A changed rip mode reopens the drive too: the main window reads it the other way then.
  if (cbCDList->count() > 0 && (driveChosen || o.CDDb != OldCDDb || o.SecureRip != OldSecureRip) &&
      FHost.ChangeDrive)
    FHost.ChangeDrive(drive >= 0 ? drive : OldCDIndex);
  if (FHost.Accepted)
    FHost.Accepted();
  accept();
}

void ShowOptionSet(TOptionSetHost host, QWidget *parent) {
  TOptionSetForm form(std::move(host), parent);
  if (parent)
    form.move(parent->pos() + QPoint(50, 50));
  plat::ShowModal(form);
}
