#include "app/QtDialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <functional>
#include <cctype>

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// Modal dialogs show the normal cursor even while a command keeps the hourglass.
class TNormalCursor {
public:
  TNormalCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~TNormalCursor() { QApplication::restoreOverrideCursor(); }
  TNormalCursor(const TNormalCursor&) = delete;
  TNormalCursor& operator=(const TNormalCursor&) = delete;
};

// Runs a call when a widget is shown, when its font is the one it shows with.
class TOnShow : public QObject {
public:
  TOnShow(QWidget* widget, std::function<void()> call) : fCall(std::move(call)) { widget->installEventFilter(this); }

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) fCall();
    return false;
  }

private:
  std::function<void()> fCall;
};
}  // namespace

std::string QtFilter(const std::string& filter) {
  std::string out;
  std::size_t pos = 0;
  while (pos <= filter.size()) {
    const std::size_t bar = filter.find('|', pos);
    if (bar == std::string::npos) break;
    std::size_t end = filter.find('|', bar + 1);
    if (end == std::string::npos) end = filter.size();
    std::string patterns;
    for (const char c : filter.substr(bar + 1, end - bar - 1)) {
      const auto u = static_cast<unsigned char>(c);
      if (c == ';')
        patterns += ' ';
      else if (std::isalpha(u) && std::tolower(u) != std::toupper(u))
        patterns += std::string("[") + static_cast<char>(std::tolower(u)) + static_cast<char>(std::toupper(u)) + "]";
      else
        patterns += c;
    }
    if (!out.empty()) out += ";;";
    out += filter.substr(pos, bar - pos) + " (" + patterns + ")";
    pos = end + 1;
  }
  return out;
}

int SelectedFilterIndex(const std::string& filter, const std::string& selected) {
  const QString shown = Q(selected).simplified();
  const QStringList entries = Q(QtFilter(filter)).split(QStringLiteral(";;"));
  for (int i = 0; i < entries.size(); ++i) {
    const QString entry = entries[i].simplified();
    const QString description = entry.left(entry.lastIndexOf(QStringLiteral(" (")));
    if (shown == entry || shown == description) return i;
  }
  return 0;
}

std::vector<std::string> TypedFileNames(const std::string& text) {
  std::vector<std::string> names;
  if (text.find('"') == std::string::npos) {
    if (!text.empty()) names.push_back(text);
    return names;
  }
  // "a.gpx" "b.ht": every other piece between the quotes is a name.
  std::size_t open = text.find('"');
  while (open != std::string::npos) {
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    if (close > open + 1) names.push_back(text.substr(open + 1, close - open - 1));
    open = text.find('"', close + 1);
  }
  return names;
}

namespace {
// The descriptions alone: the case-blind patterns are no reading for a user.
void SetFilter(QFileDialog& dialog, const std::string& filter) {
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilter(Q(QtFilter(filter)));
}

// A typed name as the path it names, from the dialog's folder.
QString TypedPath(const QFileDialog& dialog, const std::string& typed) {
  QString name = Q(typed);
  if (name == QStringLiteral("~") || name.startsWith(QStringLiteral("~/")))
    name = QDir::homePath() + name.mid(1);
  return QDir::cleanPath(dialog.directory().absoluteFilePath(name));
}
}  // namespace

std::vector<std::string> TQtDialogs::DoOpenFiles(const TOpenDialogRequest& request) {
  TNormalCursor cursor;
  QFileDialog dialog(fParent, Q(request.title), Q(request.initialDir));
  SetFilter(dialog, request.filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  // Files the filter does not match are listed greyed rather than hidden, so a
  // name of another kind can be typed and confirmed, and the command says why
  // it cannot read it.
  if (auto* listing = dialog.findChild<QFileSystemModel*>(QStringLiteral("qt_filesystem_model")))
    listing->setNameFilterDisables(true);
  std::vector<std::string> files;
  if (dialog.exec() != QDialog::Accepted) return files;
  for (const QString& f : dialog.selectedFiles()) files.push_back(QDir::cleanPath(f).toStdString());
  // Qt answers the names its list has selected; a typed name it lists greyed
  // beside them is dropped. The command reports it instead, as it does for one
  // typed alone.
  if (const auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    for (const std::string& typed : TypedFileNames(edit->text().toStdString())) {
      const std::string path = TypedPath(dialog, typed).toStdString();
      if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
    }
  return files;
}

std::optional<TDialogs::TSaveAnswer> TQtDialogs::DoSaveFile(const TSaveDialogRequest& request) {
  TNormalCursor cursor;
  QFileDialog dialog(fParent, Q(request.title), Q(request.initialDir));
  SetFilter(dialog, request.filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The overwrite question is the command's own; the extension is the selected
  // filter's, added by TDialogs.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!request.fileName.empty()) dialog.selectFile(Q(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  // With the patterns hidden Qt reports the chosen entry by its description only.
  return TSaveAnswer{dialog.selectedFiles().first().toStdString(),
                     SelectedFilterIndex(request.filter, dialog.selectedNameFilter().toStdString())};
}

int InputBoxWidth(const QFontMetrics& metrics, const std::string& caption, const std::string& prompt) {
  // The caption sits in the title bar beside its buttons; the prompt in the
  // dialog's margins.
  constexpr int kTitleBarButtons = 120;
  constexpr int kMargins = 60;
  int widest = 0;
  for (const QString& line : Q(prompt).split(QLatin1Char('\n')))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  return std::max({300, metrics.horizontalAdvance(Q(caption)) + kTitleBarButtons, widest + kMargins});
}

std::string TQtDialogs::InputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultValue) {
  TNormalCursor cursor;
  QInputDialog dialog(fParent);
  dialog.setWindowTitle(Q(caption));
  dialog.setLabelText(Q(prompt));
  dialog.setTextValue(Q(defaultValue));
  TOnShow widen(&dialog, [&] { dialog.setMinimumWidth(InputBoxWidth(dialog.fontMetrics(), caption, prompt)); });
  if (dialog.exec() != QDialog::Accepted) return defaultValue;
  return dialog.textValue().toStdString();
}

TModalResult TQtDialogs::MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) {
  TNormalCursor cursor;
  QMessageBox box(fParent);
  box.setWindowTitle(QApplication::applicationName());
  box.setText(Q(text));
  switch (type) {
    case TMsgDlgType::mtWarning: box.setIcon(QMessageBox::Warning); break;
    case TMsgDlgType::mtError: box.setIcon(QMessageBox::Critical); break;
    case TMsgDlgType::mtInformation: box.setIcon(QMessageBox::Information); break;
    case TMsgDlgType::mtConfirmation: box.setIcon(QMessageBox::Question); break;
  }
  QMessageBox::StandardButtons qb;
  if (buttons & mbYes) qb |= QMessageBox::Yes;
  if (buttons & mbNo) qb |= QMessageBox::No;
  if (buttons & mbOK) qb |= QMessageBox::Ok;
  if (buttons & mbCancel) qb |= QMessageBox::Cancel;
  box.setStandardButtons(qb);
  switch (box.exec()) {
    case QMessageBox::Yes: return TModalResult::mrYes;
    case QMessageBox::No: return TModalResult::mrNo;
    case QMessageBox::Ok: return TModalResult::mrOk;
    case QMessageBox::Cancel: return TModalResult::mrCancel;
    default: return TModalResult::mrNone;
  }
}

std::optional<TColor> TQtDialogs::PickColor(TColor initial) {
  TNormalCursor cursor;
  const QColor c = QColorDialog::getColor(QColor(GetRValue(initial), GetGValue(initial), GetBValue(initial)), fParent);
  if (!c.isValid()) return std::nullopt;
  return RGB(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
             static_cast<std::uint8_t>(c.blue()));
}

void TQtDialogs::ShowMessage(const std::string& text) {
  TNormalCursor cursor;
  QMessageBox box(fParent);
  box.setWindowTitle(QApplication::applicationName());
  box.setText(Q(text));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}
