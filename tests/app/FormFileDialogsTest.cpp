// The program's file dialogs as a user fills them in: Qt's own dialogs, with the
// file type chosen in the dialog and the names typed into it. The other dialogs
// answer from a script.

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/QtDialogs.h"
#include "tests/app/FormSupport.h"

namespace {

// Qt's file dialogs; every other dialog answers from `script` and is recorded there.
class TQtFileDialogs : public TQtDialogs {
public:
  TQtFileDialogs() : TQtDialogs(nullptr) {}
  TScriptedDialogs script;

  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& defaultValue) override {
    return script.InputBox(caption, prompt, defaultValue);
  }
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) override {
    return script.MessageDlg(text, type, buttons);
  }
  std::optional<TColor> PickColor(TColor initial) override { return script.PickColor(initial); }
  void ShowMessage(const std::string& text) override { script.ShowMessage(text); }
};

std::string Head(const std::string& path, std::size_t n) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(n, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(n));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// What the user does in the next file dialog: the file type chosen (-1: the one
// selected), the text typed into the name field, then the dialog's own button.
// With `listed` the dialog is filled once it lists files of its folder, as a user
// sees it before typing.
struct TFileDialogAnswer {
  int fileType = -1;
  QString typed;
  bool listed = false;
};

class FileDialogTest : public FormTest {
protected:
  TQtFileDialogs qtDialogs;

  void SetUp() override {
    qtDialogs.SetWorkingFolder(folder.Dir().string());
    form = std::make_unique<TForm1>(TForm1::TOptions{&qtDialogs, 8, {}, {}});
    form->show();
    QCoreApplication::processEvents();
  }

  // Answers the next file dialog that opens; one that never gets a listing of
  // its folder is cancelled after a few seconds, so no test waits for ever.
  void AnswerNextFileDialog(TFileDialogAnswer answer) {
    const auto started = std::chrono::steady_clock::now();
    auto* poll = new QTimer(form.get());
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, started] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      const bool listed =
          !answer.listed || (list && list->model() && list->model()->rowCount(list->rootIndex()) > 0);
      if (!listed && std::chrono::steady_clock::now() - started < std::chrono::seconds(10)) return;
      poll->stop();
      poll->deleteLater();
      if (!listed || !types || !name) {
        ADD_FAILURE() << "the file dialog shows no listing, file types or name field";
        dialog->reject();
        return;
      }
      if (answer.fileType >= 0) {
        types->setCurrentIndex(answer.fileType);
        emit types->activated(answer.fileType);
      }
      // Typed as a user types: into the focused field, key by key.
      QApplication::setActiveWindow(dialog);
      name->setFocus(Qt::OtherFocusReason);
      name->clear();
      QTest::keyClicks(name, answer.typed);
      QPushButton* ok = nullptr;
      if (auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
        for (QAbstractButton* b : box->buttons())
          if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) ok = qobject_cast<QPushButton*>(b);
      if (!ok || !ok->isEnabled()) {
        ADD_FAILURE() << "the file dialog does not take " << answer.typed.toStdString();
        dialog->reject();
        return;
      }
      ok->click();
    });
    poll->start();
  }

  std::vector<std::string> Errors() const { return qtDialogs.script.Errors(); }
};

// The type chosen in the dialog gives a name typed without extension its
// extension, and with it the kind of file written.
TEST_F(FileDialogTest, TheChosenFileTypeDecidesTheFileWritten) {
  form->AddFiles({WriteSurvey("survey.ht")});
  Interpolate();
  ASSERT_TRUE(Ws().InterpLoaded());
  struct TCase {
    const char* command;
    std::function<void()> run;
    int fileType;
    const char* written;
    std::string head;  // the file's first bytes
  };
  const TCase cases[] = {
      {"Save Project... as GPX file", [this] { form->btnTrkSaveGPXClick(); }, 0, "lake.gpx", "<?xml"},
      {"Save Project... as HT-Track", [this] { form->btnTrkSaveGPXClick(); }, 1, "lake.ht", "\x01\x03"},
      {"Save Image... as Bitmap Image", [this] { form->btnInterpolSaveBMPClick(); }, 0, "map.bmp", "BM"},
      {"Save Image... as JPEG Image", [this] { form->btnInterpolSaveBMPClick(); }, 1, "map.jpg", "\xFF\xD8\xFF"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.command);
    const std::string stem = std::string(c.written).substr(0, std::string(c.written).find('.'));
    AnswerNextFileDialog({c.fileType, QString::fromStdString(stem)});
    c.run();
    EXPECT_TRUE(Errors().empty()) << Errors().front();
    EXPECT_EQ(Head(Path(c.written), c.head.size()), c.head);
  }
  // The HT file asked for its track name and is the device's size; nothing else was written.
  EXPECT_EQ(qtDialogs.script.OfKind("input").size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(Path("lake.ht")), THTConvert::kFileSize);
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Dir())) files += entry.is_regular_file();
  EXPECT_EQ(files, 5u);  // the survey and the four written
}

// A name the filter does not list is reported the same way whether it was typed
// alone or among others; the others are loaded.
TEST_F(FileDialogTest, ATypedNameWithAnotherExtensionIsReportedAloneOrAmongOthers) {
  WriteSurvey("survey.ht");
  { std::ofstream(Path("notes.txt")) << "not a track"; }
  const std::string notes = Path("notes.txt");
  for (const char* typed : {"\"survey.ht\" \"notes.txt\"", "\"notes.txt\" \"survey.ht\"", "notes.txt"}) {
    SCOPED_TRACE(typed);
    qtDialogs.script.shown.clear();
    form->btnStartOverClick();
    AnswerNextFileDialog({-1, QString::fromLatin1(typed), true});
    form->btnAddFilesClick();
    EXPECT_EQ(Errors(), std::vector<std::string>{"File extension not supported: " + notes});
    const bool withSurvey = std::string(typed).find("survey") != std::string::npos;
    EXPECT_EQ(Ws().GPXdata().trk.Count(), withSurvey ? 1 : 0);
    EXPECT_TRUE(Ws().FileLoaded());
  }
}

}  // namespace

namespace {

// Whole paths typed in quotes are taken as a list too, and a file among them
// that fails to load is reported while the others load.
TEST_F(FileDialogTest, TypedWholePathsAreEachLoadedOrReported) {
  const std::string survey = WriteSurvey("survey.ht");
  const std::string broken = Path("broken.gpx");
  { std::ofstream(broken) << "<?xml version=\"1.0\"?><gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\"></trkseg>"; }
  AnswerNextFileDialog({-1, QString::fromStdString("\"" + survey + "\" \"" + broken + "\""), true});
  form->btnAddFilesClick();
  EXPECT_EQ(Ws().GPXdata().trk.Count(), 1);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors().front().find(broken + " could not be read:"), std::string::npos) << Errors().front();
}

}  // namespace
