#include "StopQuery.h"

#include "ApplyLanguage.h"
#include "Global.h"
#include "Text.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>
#include <thread>

std::atomic<int> TQueryCDDBThread::FRunning{0};

void TQueryCDDBThread::Start(TWindowHandle window, int32_t cdHandle,
                             const TGlobalOptions &options) {
  ++FRunning;
  std::thread([window, cdHandle, options] {
    auto lookup = std::make_unique<TCddbLookup>(LookUpDisc(cdHandle, options));
    const std::uintptr_t outcome = lookup->Found ? CddbFinished : CddbFailed;
    plat::PostMessage(window, WM_QUERYCDDB, outcome, std::move(lookup));
    --FRunning;
  }).detach();
}

TfrmStopQuery::TfrmStopQuery(QWidget *owner, uint8_t firstTrack, uint8_t lastTrack,
                             int32_t cdHandle, TCddbFoundHandler onFound)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FirstTrack(firstTrack), LastTrack(lastTrack), CDHandle(cdHandle),
      FOnFound(std::move(onFound)) {
  setObjectName("frmStopQuery");
  setWindowTitle("Query CDDB...");
  auto *layout = new QVBoxLayout(this);
  lHint = new QLabel("Query CDDB...", this);
  lHint->setObjectName("lHint");
  layout->addWidget(lHint);
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Label1 = new QLabel("No match found,perhaps:\r\n1.No information in CDDB server\r\n"
                      "2.error CDDB options\r\n3.check the network",
                      Panel1);
  Label1->setObjectName("Label1");
  (new QVBoxLayout(Panel1))->addWidget(Label1);
  Panel1->hide();
  layout->addWidget(Panel1);
  bStop = new QPushButton("Stop", this);
  bStop->setObjectName("bStop");
  layout->addWidget(bStop, 0, Qt::AlignHCenter);
  connect(bStop, &QPushButton::clicked, this, [this] { bStopClick(); });
}

void TfrmStopQuery::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!FStarted)
    FormShow();
}

void TfrmStopQuery::FormShow() {
  FStarted = true;
  TQueryCDDBThread::Start(Handle(), CDHandle, GlobalOptions);
  ApplyChosenLanguage(this);
}

void TfrmStopQuery::bStopClick() { done(QDialog::Rejected); }

void TfrmStopQuery::WndProc(TMessage &message) {
  if (message.Msg != WM_QUERYCDDB || !message.Payload)
    return;
  const TCddbLookup &lookup = *message.PayloadAs<TCddbLookup>();
  if (message.WParam == CddbFinished) {
    if (FOnFound)
      FOnFound(lookup);
    done(6);
  } else if (message.WParam == CddbFailed) {
    FailureText = lookup.Why;
    lHint->hide();
    Panel1->show();
    bStop->setText(QString::fromStdString(GetLanString("RES_Close", "Close")));
  }
}
