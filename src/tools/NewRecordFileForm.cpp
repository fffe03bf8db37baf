#include "NewRecordFileForm.h"

#include "ApplyLanguage.h"
#include "Global.h"
#include "Text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Two choices in a row of their own, so that each pair is exclusive.
QWidget *Pair(QRadioButton *&first, const char *firstName, const char *firstCaption,
              QRadioButton *&second, const char *secondName, const char *secondCaption,
              QWidget *parent) {
  auto *row = new QWidget(parent);
  first = new QRadioButton(firstCaption, row);
  first->setObjectName(firstName);
  second = new QRadioButton(secondCaption, row);
  second->setObjectName(secondName);
  second->setChecked(true);
  auto *layout = new QHBoxLayout(row);
  layout->addWidget(first);
  layout->addWidget(second);
  return row;
}

// A row caption with a name of its own, so that a language file can replace it.
QLabel *Caption(const char *name, const char *text, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

} // namespace

TfrmNewRecordFile::TfrmNewRecordFile(QWidget *parent) : QDialog(parent) {
  setObjectName("frmNewRecordFile");
  setWindowTitle("New sound file");
  auto *group = new QGroupBox("Record Property", this);
  group->setObjectName("GroupBox1");
  cbBitSamples = new QComboBox(group);
  cbBitSamples->setObjectName("cbBitSamples");
  cbBitSamples->addItems(
      {"  8000", "11025", "12000", "16000", "22050", "24000", "32000", "44100", "48000"});
  cbBitSamples->setCurrentText("44100");
  auto *form = new QFormLayout(group);
  form->addRow(Caption("Label1", "Bitrate:", group), cbBitSamples);
  form->addRow(Caption("Label2", "Data", group),
               Pair(rb8Bit, "rb8Bit", "8bit", rb16Bit, "rb16Bit", "16bit", group));
  form->addRow(Caption("Label3", "Mode", group),
               Pair(rbMono, "rbMono", "Mono", rbStereo, "rbStereo", "Stereo", group));

  auto *buttons = new QDialogButtonBox(this);
  buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setObjectName("btOK");
  buttons->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("btCancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(buttons);
}

void TfrmNewRecordFile::showEvent(QShowEvent *event) {
  ApplyChosenLanguage(this);
  QDialog::showEvent(event);
}
