// The component base of the parser and the object model.

#include "lib/verAziruzi/XpBase.h"

#include <algorithm>
#include <clocale>
#include <cstring>

#include "platform/NumberText.h"

TXpComponent::~TXpComponent() {
  // Each one leaves the list before it is destroyed, so its destructor sees
  // neither itself among the owner's components nor the owner.
  while (!fComponents.empty()) {
    std::unique_ptr<TXpComponent> last = std::move(fComponents.back());
    fComponents.pop_back();
    last->fOwner = nullptr;
  }
}

void TXpComponent::Adopt(std::unique_ptr<TXpComponent> component) {
  if (!component) return;
  component->fOwner = this;
  fComponents.push_back(std::move(component));
}

std::unique_ptr<TXpComponent> TXpComponent::RemoveComponent(TXpComponent* component) {
  const auto it = std::find_if(fComponents.begin(), fComponents.end(),
                               [component](const std::unique_ptr<TXpComponent>& c) { return c.get() == component; });
  if (it == fComponents.end()) return nullptr;
  std::unique_ptr<TXpComponent> released = std::move(*it);
  fComponents.erase(it);
  released->fOwner = nullptr;
  return released;
}

TXpComponent* TXpComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) return nullptr;
  return fComponents[static_cast<std::size_t>(index)].get();
}

WideString TXpComponent::Version() const {
  // "%5.4f" in the user's locale: the digits from numtext, the separator from the C locale.
  std::string text = numtext::FormatFixed(XpVersionNumber / 10000.0, 4);
  const char* point = std::localeconv()->decimal_point;
  if (point && *point && std::strcmp(point, ".") != 0) {
    const std::size_t at = text.find('.');
    if (at != std::string::npos) text.replace(at, 1, point);
  }
  return XpUtf8ToWide(text);
}
