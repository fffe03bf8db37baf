#include "QueryCddb.h"

#include "ToolWidgets.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "Text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

const char *const DefaultScript = "/~cddb/cddb.cgi";

QString Q(const std::string &text) { return QString::fromStdString(text); }

} // namespace

const std::vector<std::string> CddbServers = {"gnudb.gnudb.org", "gnudb.org", "www.gnudb.org",
                                              "freedb.dbpoweramp.com"};

TfrmQueryCDDB::TfrmQueryCDDB(QWidget *owner, uint8_t firstTrack, uint8_t lastTrack,
                             int32_t cdHandle, TCddbFoundHandler onFound)
    : QDialog(owner), FirstTrack(firstTrack), LastTrack(lastTrack), CDHandle(cdHandle),
      FOnFound(std::move(onFound)) {
  setObjectName("frmQueryCDDB");
  setWindowTitle("Query CDDB");

  GroupBox1 = Named(new QGroupBox("Server", this), "GroupBox1");
  Label1 = Named(new QLabel("Freedb Server:", GroupBox1), "Label1");
  cbServer = Named(new QComboBox(GroupBox1), "cbServer");
  cbServer->setEditable(true);
  for (const std::string &server : CddbServers)
    cbServer->addItem(Q(server));
  Label2 = Named(new QLabel("Query Script:", GroupBox1), "Label2");
  eScript = Named(new QLineEdit(DefaultScript, GroupBox1), "eScript");
  lAccurateRip = Named(new QLabel("AccurateRip URL:", GroupBox1), "lAccurateRip");
  eAccurateRip = Named(new QLineEdit(GroupBox1), "eAccurateRip");
  auto *server = new QGridLayout(GroupBox1);
  server->addWidget(Label1, 0, 0);
  server->addWidget(cbServer, 0, 1);
  server->addWidget(Label2, 1, 0);
  server->addWidget(eScript, 1, 1);
  server->addWidget(lAccurateRip, 2, 0);
  server->addWidget(eAccurateRip, 2, 1);

  GroupBox2 = Named(new QGroupBox("Proxy server", this), "GroupBox2");
  cbProxy = Named(new QCheckBox("Use a proxy server", GroupBox2), "cbProxy");
  Label3 = Named(new QLabel("Address:", GroupBox2), "Label3");
  eAddress = Named(new QLineEdit(GroupBox2), "eAddress");
  lPort = Named(new QLabel("Port:", GroupBox2), "lPort");
  ePort = Named(new QLineEdit(GroupBox2), "ePort");
  eAddress->setEnabled(false);
  ePort->setEnabled(false);
  auto *proxy = new QGridLayout(GroupBox2);
  proxy->addWidget(cbProxy, 0, 0, 1, 4);
  proxy->addWidget(Label3, 1, 0);
  proxy->addWidget(eAddress, 1, 1);
  proxy->addWidget(lPort, 1, 2);
  proxy->addWidget(ePort, 1, 3);

  Image1 = Named(new QLabel(this), "Image1");
  Image1->setPixmap(style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(48, 48));
  bDefault = Named(new QPushButton("Default", this), "bDefault");
  bQuery = Named(new QPushButton("Query", this), "bQuery");
  bClose = Named(new QPushButton("Close", this), "bClose");
  bQuery->setDefault(true);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(Image1);
  buttons->addStretch();
  buttons->addWidget(bDefault);
  buttons->addWidget(bQuery);
  buttons->addWidget(bClose);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(GroupBox1);
  layout->addWidget(GroupBox2);
  layout->addLayout(buttons);

  connect(cbProxy, &QCheckBox::toggled, this, [this] { cbProxyClick(); });
  connect(bDefault, &QPushButton::clicked, this, [this] { bDefaultClick(); });
  connect(bQuery, &QPushButton::clicked, this, [this] { bQueryClick(); });
  connect(bClose, &QPushButton::clicked, this, [this] { bCloseClick(); });
}

void TfrmQueryCDDB::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!FShown) {
    FShown = true;
    FormShow();
  }
}

void TfrmQueryCDDB::FormShow() {
  const int preset =
      cbServer->findText(Q(GlobalOptions.Server), Qt::MatchExactly | Qt::MatchCaseSensitive);
  cbServer->setCurrentIndex(preset < 0 ? 0 : preset);
  if (preset < 0 && !GlobalOptions.Server.empty())
    cbServer->setEditText(Q(GlobalOptions.Server)); // a server the user typed is kept
  eScript->setText(Q(GlobalOptions.Script));
  eAccurateRip->setText(Q(GlobalOptions.AccurateRipUrl));
  cbProxy->setChecked(GlobalOptions.UseProxy);
  cbProxyClick();
  eAddress->setText(Q(GlobalOptions.ProxyAddress));
  ePort->setText(Q(GlobalOptions.Port));
  ApplyChosenLanguage(this);
}

void TfrmQueryCDDB::cbProxyClick() {
  eAddress->setEnabled(cbProxy->isChecked());
  ePort->setEnabled(cbProxy->isChecked());
}

void TfrmQueryCDDB::bDefaultClick() {
  cbServer->setCurrentIndex(0);
  cbServer->setEditText(cbServer->itemText(0));
  eScript->setText(DefaultScript);
  eAccurateRip->setText(Q(TGlobalOptions().AccurateRipUrl));
  cbProxy->setChecked(false);
  cbProxyClick();
}

void TfrmQueryCDDB::bQueryClick() {
  GlobalOptions.Server = cbServer->currentText().trimmed().toStdString();
  GlobalOptions.Script = eScript->text().trimmed().toStdString();
  GlobalOptions.AccurateRipUrl = eAccurateRip->text().trimmed().toStdString();
  GlobalOptions.UseProxy = cbProxy->isChecked();
  GlobalOptions.ProxyAddress = eAddress->text().trimmed().toStdString();
  GlobalOptions.Port = ePort->text().trimmed().toStdString();
  TfrmStopQuery progress(this, FirstTrack, LastTrack, CDHandle, FOnFound);
  if (plat::ShowModal(progress) == 6)
    done(6);
}

void TfrmQueryCDDB::bCloseClick() { done(QDialog::Rejected); }
