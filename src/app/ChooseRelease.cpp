#include "ChooseRelease.h"

#include "ToolWidgets.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "Global.h"
#include "Text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString Q(const std::string &text) { return QString::fromStdString(text); }
} // namespace

TfrmChooseRelease::TfrmChooseRelease(QWidget *owner, const std::vector<mb::TRelease> &releases)
    : QDialog(owner) {
  setObjectName("frmChooseRelease");
  setWindowTitle("Choose the release");
  lvReleases = Named(new QTreeWidget(this), "lvReleases");
  lvReleases->setRootIsDecorated(false);
  lvReleases->setHeaderLabels({"Artist", "Album", "Year", "Country", "Label", "Format"});
  for (const mb::TRelease &r : releases)
    new QTreeWidgetItem(lvReleases, QStringList{Q(r.Artist), Q(r.Album), Q(r.Year), Q(r.Country),
                                                Q(r.Label), Q(r.Format)});
  lvReleases->setCurrentItem(lvReleases->topLevelItem(0));
  lvReleases->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  bOK = Named(new QPushButton("OK", this), "bOK");
  bCancel = Named(new QPushButton("Cancel", this), "bCancel");
  bOK->setDefault(true);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(bOK);
  buttons->addWidget(bCancel);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(lvReleases);
  layout->addLayout(buttons);
  resize(640, 280);
  connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(lvReleases, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  ApplyChosenLanguage(this);
}

int TfrmChooseRelease::Chosen() const {
  return result() == QDialog::Accepted ? lvReleases->indexOfTopLevelItem(lvReleases->currentItem())
                                       : -1;
}

int ChooseRelease(QWidget *owner, const std::vector<mb::TRelease> &releases) {
  TfrmChooseRelease form(owner, releases);
  plat::ShowModal(form);
  return form.Chosen();
}

std::string ReleaseText(const mb::TRelease &release) {
  std::string details;
  for (const std::string *part : {&release.Year, &release.Country, &release.Label, &release.Format})
    if (!part->empty())
      details += (details.empty() ? "" : ", ") + *part;
  return release.Artist + " - " + release.Album + (details.empty() ? "" : " (" + details + ")");
}
