#include "ApplyLanguage.h"
#include "Folders.h"
#include "Global.h"
#include "Language.h"
#include "TempConfig.h"
#include "Text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

template <class T> T *Make(QWidget *parent, const char *name, const char *text = nullptr) {
  auto *w = new T(parent);
  w->setObjectName(name);
  if constexpr (requires { w->setText(QString()); })
    if (text)
      w->setText(text);
  return w;
}

QString Text(const char *s) { return QString::fromUtf8(s); }

// A window with one part of every kind that language files translate.
class TestForm : public QMainWindow {
public:
  TestForm() {
    setObjectName("TestForm");
    setWindowTitle("Test window");
    auto *central = new QWidget(this);
    setCentralWidget(central);
    auto *layout = new QVBoxLayout(central);

    tabs = Make<QTabWidget>(central, "PageControl1");
    layout->addWidget(tabs);
    auto *page0 = new QWidget;
    page0->setObjectName("TabSheet1");
    tabs->addTab(page0, "Output");
    tabs->addTab(new QWidget, "MP3");
    tabs->addTab(new QWidget, "OGG");
    group = Make<QGroupBox>(page0, "GroupBox1");
    group->setTitle("Stage");
    label = Make<QLabel>(group, "Label1", "Elapsed");
    untouched = Make<QLabel>(group, "Label2", "Not in the file");
    panel = Make<QLabel>(page0, "StatusPanel1", "Ready");
    panel->setFrameShape(QFrame::Panel);
    button = Make<QPushButton>(central, "btOk", "OK");
    check = Make<QCheckBox>(central, "ckbKeepWav", "Keep WAV");
    radio = Make<QRadioButton>(central, "rbMono", "Mono");
    tool = Make<QToolButton>(central, "tbExtract", "Extract");
    commandTool = Make<QToolButton>(central, "tbOpen"); // shows a menu command, made first
    unnamed = new QPushButton("Unnamed", central);

    list = Make<QComboBox>(central, "cbOutputFormat");
    list->addItems({"MP3", "WAV", "OGG", "WMA"});
    list->setCurrentIndex(1);
    edit = Make<QComboBox>(central, "cbServer");
    edit->setEditable(true);
    edit->addItems({"first", "second"});
    edit->setEditText("typed");

    tree = Make<QTreeWidget>(central, "ListView1");
    tree->setHeaderLabels({"No.", "Title", "Length(min)", "Size(MB)"});

    panels = Make<QStatusBar>(central, "StatusBar1");
    for (const char *text : {"one", "two"}) {
      auto *p = new QLabel(text);
      p->setObjectName(QString("Panel_") + text);
      panels->addWidget(p);
    }
    simple = Make<QStatusBar>(central, "StatusBar2");
    simple->showMessage("simple");

    file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    open = file->addAction("&Open");
    open->setObjectName("miOpen");
    separator = file->addSeparator();
    separator->setObjectName("N1");
    language = file->addMenu("Language");
    language->setObjectName("miLanguage");
    german = language->addAction("German");
    german->setObjectName("miGerman");
    commandTool->setDefaultAction(open);
    popup = new QMenu(this);
    popup->setObjectName("PopupMenu1");
    popup->addAction(open);
  }

  QTabWidget *tabs;
  QGroupBox *group;
  QLabel *label, *untouched, *panel;
  QPushButton *button, *unnamed;
  QCheckBox *check;
  QRadioButton *radio;
  QToolButton *tool, *commandTool;
  QComboBox *list, *edit;
  QTreeWidget *tree;
  QStatusBar *panels, *simple;
  QMenu *file, *language, *popup;
  QAction *open, *separator, *german;
};

const char *const FullTranslation = R"([TestForm]
TestForm=Testfenster
Label1=Verstrichen
GroupBox1=Phase
StatusPanel1=Bereit
btOk=" OK "
ckbKeepWav=WAV behalten
rbMono=Einkanal
tbExtract=Auslesen
tbOpen=Knopf
cbOutputFormat_Text=never for a drop-down list
cbOutputFormat_Item0=MP3-Datei
cbOutputFormat_Item2=OGG-Datei
cbOutputFormat_Item3=WMA-Datei
cbServer_Text=getippt
cbServer_Item0=erster
ListView1_Column0=Nr.
ListView1_Column1=Titel
ListView1_Column2=Länge (min)
ListView1_Column3=Größe (MB)
PageControl1_Page0=Ausgabe
PageControl1_Page1=MP3-Seite
PageControl1_Page2=OGG-Seite
TabSheet1=not a key of pages
StatusBar1_Panel0=eins
StatusBar1_Panel1=zwei
Panel_one=not a key of panels
StatusBar2=einfach
N1=separators have no key
miOpen=not in the window section

[Menu_TestForm]
File1=&Datei
miOpen=&Öffnen
N1=separators have no key
miLanguage=Sprache
miGerman=Deutsch

[ResourceString]
RES_Play=Wiedergabe
)";

using Language = TempLanguage;

TEST_F(Language, EveryKindOfPartIsRecaptioned) {
  WriteLanguage(FullTranslation);
  TestForm f;
  ApplyLanguage(&f, lan);
  EXPECT_EQ(f.windowTitle(), "Testfenster");
  EXPECT_EQ(f.label->text(), "Verstrichen") << "a label inside a group inside a page";
  EXPECT_EQ(f.group->title(), "Phase");
  EXPECT_EQ(f.panel->text(), "Bereit");
  EXPECT_EQ(f.button->text(), " OK ");
  EXPECT_EQ(f.check->text(), "WAV behalten");
  EXPECT_EQ(f.radio->text(), "Einkanal");
  EXPECT_EQ(f.tool->text(), "Auslesen");
  EXPECT_EQ(f.commandTool->text(), "Knopf") << "the button's caption outlasts its command's";
  EXPECT_EQ(f.tabs->tabText(0), "Ausgabe");
  EXPECT_EQ(f.tabs->tabText(1), "MP3-Seite");
  EXPECT_EQ(f.tabs->tabText(2), "OGG-Seite");
  QStringList headers;
  for (int i = 0; i < f.tree->columnCount(); ++i)
    headers << f.tree->headerItem()->text(i);
  EXPECT_EQ(headers, QStringList({"Nr.", "Titel", Text("Länge (min)"), Text("Größe (MB)")}));
  EXPECT_EQ(f.file->title(), "&Datei");
  EXPECT_EQ(f.open->text(), Text("&Öffnen"));
  EXPECT_EQ(f.language->title(), "Sprache");
  EXPECT_EQ(f.german->text(), "Deutsch");
}

TEST_F(Language, ComboBoxesAndStatusBars) {
  WriteLanguage(FullTranslation);
  TestForm f;
  ApplyLanguage(&f, lan);
  // A drop-down list keeps its selection; the item without a key keeps its text.
  EXPECT_EQ(f.list->itemText(0), "MP3-Datei");
  EXPECT_EQ(f.list->itemText(1), "WAV");
  EXPECT_EQ(f.list->itemText(2), "OGG-Datei");
  EXPECT_EQ(f.list->itemText(3), "WMA-Datei");
  EXPECT_EQ(f.list->currentIndex(), 1);
  EXPECT_EQ(f.list->currentText(), "WAV");
  // An editable box takes its own text even when its items are replaced.
  EXPECT_EQ(f.edit->itemText(0), "erster");
  EXPECT_EQ(f.edit->itemText(1), "second");
  EXPECT_EQ(f.edit->currentText(), "getippt");

  QList<QLabel *> p = f.panels->findChildren<QLabel *>();
  ASSERT_EQ(p.size(), 2);
  EXPECT_EQ(p[0]->text(), "eins");
  EXPECT_EQ(p[1]->text(), "zwei");
  EXPECT_EQ(f.simple->currentMessage(), "einfach");
}

TEST_F(Language, MissingKeysAndSeparatorsKeepTheirText) {
  WriteLanguage(FullTranslation);
  TestForm f;
  ApplyLanguage(&f, lan);
  EXPECT_EQ(f.untouched->text(), "Not in the file");
  EXPECT_EQ(f.unnamed->text(), "Unnamed");
  EXPECT_TRUE(f.separator->isSeparator());
  EXPECT_EQ(f.separator->text(), "");
}

TEST_F(Language, MissingOrBrokenFileChangesNothingItCannotRead) {
  TestForm f;
  ApplyLanguage(&f, lan); // no file
  EXPECT_EQ(f.windowTitle(), "Test window");
  EXPECT_EQ(f.label->text(), "Elapsed");
  EXPECT_EQ(f.list->itemText(0), "MP3");
  EXPECT_EQ(f.tree->headerItem()->text(3), "Size(MB)");
  EXPECT_EQ(f.open->text(), "&Open");

  WriteLanguage(std::string("[TestForm\nLabel1=Vergangen\n\xFF\xFE") + std::string(1, '\0') +
                "\n[TestForm]\n=no key\nbtOk\nrbMono=Einkanal\n[Menu_TestForm]\nmiOpen");
  ApplyLanguage(&f, lan);
  EXPECT_EQ(f.label->text(), "Vergangen") << "a header missing its ']' still names its section";
  EXPECT_EQ(f.button->text(), "OK");
  EXPECT_EQ(f.radio->text(), "Einkanal");
  EXPECT_EQ(f.open->text(), "&Open");
}

TEST_F(Language, TextIsReadAsUtf8) {
  // The file is read as UTF-8: umlauts survive the way into a widget.
  WriteLanguage("[TestForm]\nLabel1=Größe\n");
  TestForm f;
  ApplyLanguage(&f, lan);
  EXPECT_EQ(f.label->text(), Text("Größe"));
  EXPECT_EQ(f.label->text().size(), 5);
}

TEST_F(Language, MenuChoiceOfALanguage) {
  EXPECT_EQ(LanguageOfMenuItem("miNetherlands"), "Netherlands");
  EXPECT_EQ(LanguageOfMenuItem("miOther"), "Other");

  std::string message;
  GlobalOptions.Lan = "English";
  ASSERT_FALSE(fs::exists(LanguageFilePath("Other")));
  EXPECT_FALSE(SelectLanguage("miOther", message));
  EXPECT_EQ(message, LanguageFilePath("Other") + " can not be found.\n\nPlease visit " +
                         product::TranslationPage + ".");
  EXPECT_EQ(GlobalOptions.Lan, "English");

  EXPECT_FALSE(SelectLanguage("mi" + lan, message));
  EXPECT_EQ(message, LanguageFilePath(lan) + " can not be found.");
  EXPECT_EQ(GlobalOptions.Lan, "English");

  WriteLanguage("[ResourceString]\n");
  message.clear();
  EXPECT_TRUE(SelectLanguage("mi" + lan, message));
  EXPECT_EQ(GlobalOptions.Lan, lan);
  EXPECT_EQ(message, "");
  EXPECT_EQ(LanguageFilePath(lan), plat::ProgramFolder() + "CLan_" + lan + ".ini");
  // A language stored in another letter case still finds its file.
  EXPECT_EQ(LanguageFilePath(plat::UpperCase(lan)), LanguageFilePath(lan));
}

} // namespace
