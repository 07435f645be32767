#include "app/QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

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
}  // namespace

std::string QtFilter(const std::string& filter) {
  std::string out;
  std::size_t pos = 0;
  while (pos <= filter.size()) {
    const std::size_t bar = filter.find('|', pos);
    if (bar == std::string::npos) break;
    std::size_t end = filter.find('|', bar + 1);
    if (end == std::string::npos) end = filter.size();
    std::string patterns = filter.substr(bar + 1, end - bar - 1);
    for (char& c : patterns)
      if (c == ';') c = ' ';
    if (!out.empty()) out += ";;";
    out += filter.substr(pos, bar - pos) + " (" + patterns + ")";
    pos = end + 1;
  }
  return out;
}

std::vector<std::string> TQtDialogs::OpenFiles(const TOpenDialogRequest& request) {
  TNormalCursor cursor;
  QFileDialog dialog(fParent, Q(request.title), Q(request.initialDir), Q(QtFilter(request.filter)));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  std::vector<std::string> files;
  if (dialog.exec() != QDialog::Accepted) return files;
  for (const QString& f : dialog.selectedFiles()) files.push_back(f.toStdString());
  return files;
}

std::optional<std::string> TQtDialogs::SaveFile(const TSaveDialogRequest& request) {
  TNormalCursor cursor;
  QFileDialog dialog(fParent, Q(request.title), Q(request.initialDir), Q(QtFilter(request.filter)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The overwrite question is the command's own.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setDefaultSuffix(Q(request.defaultExt));
  if (!request.fileName.empty()) dialog.selectFile(Q(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return WithDefaultExt(dialog.selectedFiles().first().toStdString(), request.defaultExt);
}

std::string TQtDialogs::InputBox(const std::string& caption, const std::string& prompt,
                                 const std::string& defaultValue) {
  TNormalCursor cursor;
  bool ok = false;
  const QString text = QInputDialog::getText(fParent, Q(caption), Q(prompt), QLineEdit::Normal, Q(defaultValue), &ok);
  return ok ? text.toStdString() : defaultValue;
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
