// The library's conversion and file errors.

#include "lib/verAziruzi/XpBase.h"

EConvertError::EConvertError(const WideString& message)
    : std::runtime_error(XpWideToUtf8(message)), fMessage(message) {}

EInOutError::EInOutError(const WideString& message)
    : std::runtime_error(XpWideToUtf8(message)), fMessage(message) {}
