#pragma once

#include "app/logic/Dialogs.h"

class QFontMetrics;
class QWidget;

// The dialogs of the running program, on Qt's standard dialogs.
class TQtDialogs : public TDialogs {
public:
  explicit TQtDialogs(QWidget* parent) : fParent(parent) {}

  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& defaultValue) override;
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) override;
  std::optional<TColor> PickColor(TColor initial) override;
  void ShowMessage(const std::string& text) override;

protected:
  std::vector<std::string> DoOpenFiles(const TOpenDialogRequest& request) override;
  std::optional<TSaveAnswer> DoSaveFile(const TSaveDialogRequest& request) override;

private:
  QWidget* fParent;
};

// "Bitmap Image|*.bmp|JPEG Image|*.jpg" as Qt writes it, each pattern matching
// its letters in either case (Qt's dialog matches case-sensitively on this
// platform): "Bitmap Image (*.[bB][mM][pP]);;JPEG Image (*.[jJ][pP][gG])".
std::string QtFilter(const std::string& filter);

// The entry of `filter` that a Qt dialog reports as selected: it names the entry
// whole ("HT-Track (*.[hH][tT])") or, with the patterns hidden, by its
// description alone ("HT-Track"). 0 when it names none.
int SelectedFilterIndex(const std::string& filter, const std::string& selected);

// The names typed into a file dialog's name field, as Qt's dialog reads them:
// several names each between double quotes, or the whole text as one name.
std::vector<std::string> TypedFileNames(const std::string& text);

// The input box's width that shows its caption and its prompt whole.
int InputBoxWidth(const QFontMetrics& metrics, const std::string& caption, const std::string& prompt);
