#pragma once
// "New sound file": the sample rate, sample size and channels of a new recording.
#include <QDialog>

class QComboBox;
class QRadioButton;

class TfrmNewRecordFile : public QDialog {
  Q_OBJECT

public:
  explicit TfrmNewRecordFile(QWidget *parent = nullptr);

  QComboBox *cbBitSamples; // the rates as listed, "  8000" with its two blanks
  QRadioButton *rb8Bit;
  QRadioButton *rb16Bit;
  QRadioButton *rbMono;
  QRadioButton *rbStereo;

protected:
  void showEvent(QShowEvent *event) override;
};
