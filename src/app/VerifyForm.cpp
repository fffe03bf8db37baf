#include "VerifyForm.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "Global.h"
#include "Language.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <fstream>
#include <memory>

TfrmVerify::TfrmVerify(QWidget *owner, std::vector<std::string> paths)
    : QDialog(owner), FPaths(std::move(paths)) {
  setObjectName("frmVerify");
  setWindowTitle("Verify files");
  setModal(true);
  resize(640, 360);
  lStatus = new QLabel("Verifying with AccurateRip...", this);
  lStatus->setObjectName("lStatus");
  mReport = new QPlainTextEdit(this);
  mReport->setObjectName("mReport");
  mReport->setReadOnly(true);
  mReport->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  bSave = new QPushButton("&Save report...", this);
  bSave->setObjectName("bSave");
  bSave->setEnabled(false);
  bClose = new QPushButton("&Close", this);
  bClose->setObjectName("bClose");
  connect(bSave, &QPushButton::clicked, this, &TfrmVerify::bSaveClick);
  connect(bClose, &QPushButton::clicked, this, &QDialog::reject);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(bSave);
  buttons->addWidget(bClose);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(lStatus);
  layout->addWidget(mReport);
  layout->addLayout(buttons);
}

TfrmVerify::~TfrmVerify() {
  FStop = true;
  if (FThread.joinable())
    FThread.join();
}

void TfrmVerify::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TfrmVerify::FormShow() {
  ApplyChosenLanguage(this);
  if (FThread.joinable())
    return;
  TVerifyOptions options;
  options.AccurateRipUrl = GlobalOptions.AccurateRipUrl;
  options.Stop = &FStop;
  FThread = std::thread([window = Handle(), options, paths = FPaths] {
    plat::PostMessage(window, WM_VERIFIED, 0,
                      std::make_unique<TVerification>(VerifyRips(paths, options)));
  });
}

void TfrmVerify::WndProc(TMessage &message) {
  if (message.Msg != WM_VERIFIED || !message.Payload)
    return;
  const TVerification &result = *message.PayloadAs<TVerification>();
  FFinished = true;
  FReport = result.Report;
  lStatus->setText(QString::fromStdString(
      result.Status == vsUnusable
          ? GetLanString("RES_Verify_Unusable", "These files cannot be verified:")
          : GetLanString("RES_Verify_Done", "Verified with AccurateRip:")));
  mReport->setPlainText(QString::fromStdString(result.Report));
  bSave->setEnabled(result.Status != vsUnusable);
}

void TfrmVerify::bSaveClick() {
  plat::TFileDialogOptions options;
  options.Title = GetLanString("RES_Verify_Save", "Save the report");
  options.Filter = "Text file(*.txt)|*.txt| Any file(*.*)|*.*";
  options.FileName = "AccurateRip.txt";
  options.DefaultExt = "txt";
  std::string file;
  if (!plat::SaveFileDialog(options, file))
    return;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << FReport;
  out.close();
  if (!out)
    plat::MessageBox(
        GetLanText("RES_Verify_Not_Saved", "The report could not be written to %s", {file}),
        product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
}
