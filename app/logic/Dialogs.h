#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/CommonTypes.h"
#include "platform/MessageBox.h"

// Every modal dialog the windows show goes through this interface, so the window
// logic runs the same under the real dialogs and under a script in the tests.
// Texts are UTF-8; filters are written as "Description|*.a;*.b|Other|*.c".

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

// Buttons of a message dialog, combined with |.
enum TMsgDlgButtons : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };

enum class TModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

struct TOpenDialogRequest {
  std::string title;
  std::string filter;
  std::string initialDir;  // empty: the working folder
  bool multiSelect = false;
};

struct TSaveDialogRequest {
  std::string title;
  std::string filter;      // its first entry is selected
  std::string defaultExt;  // without the dot; for a name without extension when the filter gives none
  std::string initialDir;  // empty: the working folder
  std::string fileName;    // proposed name
};

// The program's dialogs share one working folder, as the platform's dialogs do:
// each file dialog opens there unless told otherwise, and each confirmed one
// moves it to where the user chose.
class TDialogs : public TMessageBox {
public:
  // The chosen files in the order the dialog returns them; empty when cancelled.
  std::vector<std::string> OpenFiles(const TOpenDialogRequest& request);
  // The chosen path; nothing when cancelled. A name typed without extension gets
  // the one of the selected filter entry (else the default extension).
  std::optional<std::string> SaveFile(const TSaveDialogRequest& request);

  // The folder the next file dialog opens in; at first the process's current folder.
  std::string WorkingFolder() const;
  void SetWorkingFolder(std::string folder) { fWorkingFolder = std::move(folder); }

  // The typed text; Cancel returns `defaultValue`.
  virtual std::string InputBox(const std::string& caption, const std::string& prompt,
                               const std::string& defaultValue) = 0;
  virtual TModalResult MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) = 0;
  // Starts at `initial`; nothing when cancelled.
  virtual std::optional<TColor> PickColor(TColor initial) = 0;
  // ShowMessage (from TMessageBox): a plain message with an OK button.

  // The error dialog of the windows: error icon, a single Cancel button.
  void ShowError(const std::string& text) { MessageDlg(text, TMsgDlgType::mtError, mbCancel); }
  // A question with Yes and No and the warning icon; true for Yes.
  bool AskYesNo(const std::string& text) {
    return MessageDlg(text, TMsgDlgType::mtWarning, mbYes | mbNo) == TModalResult::mrYes;
  }

protected:
  // What a confirmed save dialog answers: the name as the user typed it and the
  // index of the filter entry selected at the end.
  struct TSaveAnswer {
    std::string path;
    int filterIndex = 0;
  };
  // The dialogs themselves, with initialDir filled in.
  virtual std::vector<std::string> DoOpenFiles(const TOpenDialogRequest& request) = 0;
  virtual std::optional<TSaveAnswer> DoSaveFile(const TSaveDialogRequest& request) = 0;

private:
  std::string fWorkingFolder;
};

// The extension of entry `index` of a filter ("Bitmap Image|*.bmp|JPEG Image|*.jpg",
// 1 gives "jpg"): that of its first pattern, without the dot; empty when the
// pattern names none ("*.*", "*").
std::string FilterExtension(const std::string& filter, int index);
