#pragma once

#include "app/logic/Dialogs.h"

class QWidget;

// The dialogs of the running program, on Qt's standard dialogs.
class TQtDialogs : public TDialogs {
public:
  explicit TQtDialogs(QWidget* parent) : fParent(parent) {}

  std::vector<std::string> OpenFiles(const TOpenDialogRequest& request) override;
  std::optional<std::string> SaveFile(const TSaveDialogRequest& request) override;
  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& defaultValue) override;
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) override;
  std::optional<TColor> PickColor(TColor initial) override;
  void ShowMessage(const std::string& text) override;

private:
  QWidget* fParent;
};

// "Bitmap Image|*.bmp|JPEG Image|*.jpg" as Qt writes it: "Bitmap Image (*.bmp);;JPEG Image (*.jpg)".
std::string QtFilter(const std::string& filter);
