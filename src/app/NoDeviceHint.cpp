#include "NoDeviceHint.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "Folders.h"
#include "Global.h"
#include "Text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>
#include <string_view>

namespace {

// The advice lines, one label each, in the order shown. The causes are those of this system:
// another program holding the drive, a user not allowed to read the device, no drive at all.
// The last two lines end in a link into the help.
const std::pair<const char *, const char *> AdviceLines[] = {
    {"Label1", "The software couldn't find CD devices. Please check the following problems:"},
    {"Label2", "1. The CD device is held by another program, such as a CD player, a "},
    {"Label3", "media player or another CD ripper: close it and choose File > Refresh."},
    {"Label4", "2. Your user may not read the device: on most systems that needs membership "},
    {"Label5", "of the cdrom group (sudo adduser $USER cdrom, then log in again)."},
    {"Label6", "3. No CD drive was detected. Check that the drive is connected and listed"},
    {"Label7", "as /dev/sr0 or the like, as explained in"},
    {"Label8", "or open a BIN/CUE disc image instead, see"}};

QLabel *Link(const char *name, const char *caption, QWidget *parent) {
  auto *link = new QLabel(caption, parent);
  link->setObjectName(name);
  link->setStyleSheet("color: blue; text-decoration: underline;");
  link->setCursor(Qt::PointingHandCursor);
  return link;
}

// A click on a link label runs its handler.
class TLinkClick : public QObject {
public:
  TLinkClick(QLabel *link, std::function<void()> handler)
      : QObject(link), FHandler(std::move(handler)) {
    link->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::MouseButtonRelease)
      return false;
    FHandler();
    return true;
  }

private:
  std::function<void()> FHandler;
};

std::string HelpAddress(const char *section) {
  return QUrl::fromLocalFile(QString::fromStdString(plat::FindDataFile("help/index.html")))
             .toString()
             .toStdString() +
         "#" + section;
}

} // namespace

std::string DriveHelpAddress() { return HelpAddress("drives"); }
std::string ImageHelpAddress() { return HelpAddress("images"); }

TfrmNoDeviceHint::TfrmNoDeviceHint(QWidget *parent) : QDialog(parent) {
  setObjectName("frmNoDeviceHint");
  setWindowTitle(product::Name);
  setModal(true);

  auto *panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  lForceASPI = Link("lForceASPI", "Plindar help: CD drives", panel);
  lAdaptec = Link("lAdaptec", "Plindar help: disc images", panel);
  auto *lines = new QVBoxLayout(panel);
  for (const auto &[name, text] : AdviceLines) {
    auto *line = new QLabel(text, panel);
    line->setObjectName(name);
    // A link follows the words that point to it, on the same line.
    const std::string_view lineName = name;
    QLabel *link = lineName == "Label7" ? lForceASPI : lineName == "Label8" ? lAdaptec : nullptr;
    auto *row = new QHBoxLayout;
    row->addWidget(line);
    if (link)
      row->addWidget(link);
    row->addStretch();
    lines->addLayout(row);
  }
  new TLinkClick(lForceASPI, [this] { lForceASPIClick(); });
  new TLinkClick(lAdaptec, [this] { lAdaptecClick(); });

  bClose = new QPushButton("&Close", this);
  bClose->setObjectName("bClose");
  connect(bClose, &QPushButton::clicked, this, &QDialog::accept);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(panel);
  layout->addWidget(bClose, 0, Qt::AlignRight);
}

void TfrmNoDeviceHint::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TfrmNoDeviceHint::FormShow() { ApplyChosenLanguage(this); }

void TfrmNoDeviceHint::lForceASPIClick() { plat::ShellOpen(DriveHelpAddress()); }

void TfrmNoDeviceHint::lAdaptecClick() { plat::ShellOpen(ImageHelpAddress()); }

void ShowNoDeviceHint(QWidget *parent) {
  TfrmNoDeviceHint form(parent);
  plat::ShowModal(form);
}
