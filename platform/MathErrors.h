#pragma once

#include <stdexcept>
#include <string>

// Floating-point errors are raised as exceptions by explicit checks where an
// invalid operation, a division by zero or an overflow can happen; the hardware
// never traps. One family, so a caller can catch them all as EMathError.
class EMathError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class EInvalidOp : public EMathError {
public:
  explicit EInvalidOp(const std::string& what = "Invalid floating point operation") : EMathError(what) {}
};

class EZeroDivide : public EMathError {
public:
  explicit EZeroDivide(const std::string& what = "Floating point division by zero") : EMathError(what) {}
};

class EOverflow : public EMathError {
public:
  explicit EOverflow(const std::string& what = "Floating point overflow") : EMathError(what) {}
};
