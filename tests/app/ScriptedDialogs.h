#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/Dialogs.h"

// Dialogs that answer from a script and record what was asked, so tests can run
// every command without a person. A dialog shown with nothing scripted for it
// answers as if cancelled (and the input box with its default).
class TScriptedDialogs : public TDialogs {
public:
  struct TShown {
    std::string kind;  // "open", "save", "input", "message", "color", "show"
    std::string caption;
    std::string text;  // the prompt or the message
    TMsgDlgType type = TMsgDlgType::mtInformation;
    unsigned buttons = 0;
    std::string filter;
    std::string defaultExt;
    std::string defaultValue;
    std::string folder;  // where a file dialog opened
    TColor initialColor = 0;  // where the colour dialog started
  };

  std::deque<std::vector<std::string>> openAnswers;
  std::deque<std::optional<std::string>> saveAnswers;  // raw names, as typed
  std::deque<int> saveFilterAnswers;                    // the filter entry chosen; none: the first
  std::deque<std::optional<std::string>> inputAnswers; // nothing = Cancel
  std::deque<TModalResult> messageAnswers;
  std::deque<std::optional<TColor>> colorAnswers;
  std::vector<TShown> shown;

protected:
  std::vector<std::string> DoOpenFiles(const TOpenDialogRequest& request) override {
    shown.push_back(
        {"open", request.title, "", TMsgDlgType::mtInformation, 0, request.filter, "", "", request.initialDir});
    if (openAnswers.empty()) return {};
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
  }

  std::optional<TSaveAnswer> DoSaveFile(const TSaveDialogRequest& request) override {
    shown.push_back({"save", request.title, request.fileName, TMsgDlgType::mtInformation, 0, request.filter,
                     request.defaultExt, "", request.initialDir});
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    int filter = 0;
    if (!saveFilterAnswers.empty()) {
      filter = saveFilterAnswers.front();
      saveFilterAnswers.pop_front();
    }
    if (!answer) return std::nullopt;
    return TSaveAnswer{*answer, filter};
  }

public:

  std::string InputBox(const std::string& caption, const std::string& prompt,
                       const std::string& defaultValue) override {
    shown.push_back({"input", caption, prompt, TMsgDlgType::mtInformation, 0, "", "", defaultValue, ""});
    if (inputAnswers.empty()) return defaultValue;
    auto answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer ? *answer : defaultValue;
  }

  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) override {
    shown.push_back({"message", "", text, type, buttons, "", "", "", ""});
    if (messageAnswers.empty()) return (buttons & mbCancel) ? TModalResult::mrCancel : TModalResult::mrNo;
    auto answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
  }

  std::optional<TColor> PickColor(TColor initial) override {
    shown.push_back({"color", "", "", TMsgDlgType::mtInformation, 0, "", "", "", "", initial});
    if (colorAnswers.empty()) return std::nullopt;
    auto answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
  }

  void ShowMessage(const std::string& text) override {
    shown.push_back({"show", "", text, TMsgDlgType::mtInformation, mbOK, "", "", "", ""});
  }

  // The texts of the error dialogs shown so far.
  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const TShown& s : shown)
      if (s.kind == "message" && s.type == TMsgDlgType::mtError) errors.push_back(s.text);
    return errors;
  }
  std::vector<TShown> OfKind(const std::string& kind) const {
    std::vector<TShown> result;
    for (const TShown& s : shown)
      if (s.kind == kind) result.push_back(s);
    return result;
  }
};
