#include "EditTrackName.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "Global.h"
#include "Text.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TfrmEditTrackName::TfrmEditTrackName(const std::string &title, QWidget *parent) : QDialog(parent) {
  setObjectName("frmEditTrackName");
  setWindowTitle("Rename Track Title");
  setModal(true);

  auto *group = new QGroupBox("Please enter the new track title", this);
  group->setObjectName("GroupBox1");
  eName = new QLineEdit(QString::fromStdString(title), group);
  eName->setObjectName("eName");
  eName->setMinimumWidth(320);
  (new QVBoxLayout(group))->addWidget(eName);

  aOK = new QAction("&OK", this);
  aOK->setObjectName("aOK");
  bOK = new QPushButton(aOK->text(), this);
  bOK->setObjectName("bOK");
  bCancel = new QPushButton("&Cancel", this);
  bCancel->setObjectName("bCancel");
  // Enter is handled by eName alone: a default button would answer it even with OK disabled.
  for (QPushButton *button : {bOK, bCancel})
    button->setAutoDefault(false);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(bOK);
  buttons->addWidget(bCancel);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(buttons);

  connect(aOK, &QAction::triggered, this, [this] { aOKExecute(); });
  connect(aOK, &QAction::changed, this, [this] { bOK->setEnabled(aOK->isEnabled()); });
  connect(bOK, &QPushButton::clicked, aOK, &QAction::trigger);
  connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(eName, &QLineEdit::textChanged, this, [this] { aOKUpdate(); });
  connect(eName, &QLineEdit::returnPressed, aOK, &QAction::trigger); // does nothing disabled
  aOKUpdate();
}

void TfrmEditTrackName::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TfrmEditTrackName::FormShow() {
  eName->selectAll();
  eName->setFocus();
  ApplyChosenLanguage(this);
}

void TfrmEditTrackName::aOKUpdate() { aOK->setEnabled(!eName->text().isEmpty()); }

void TfrmEditTrackName::aOKExecute() { accept(); }

std::string TfrmEditTrackName::Title() const { return eName->text().toStdString(); }

bool EditTrackName(std::string &title, QWidget *parent) {
  TfrmEditTrackName form(title, parent);
  if (plat::ShowModal(form) != QDialog::Accepted)
    return false;
  title = form.Title();
  return true;
}
