#pragma once

#include <string>

// A modal message with an OK button and no icon. The window layer shows it; code
// below the windows only ever talks to this interface, and may be given none.
class TMessageBox {
public:
  virtual ~TMessageBox() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};
