// The base of every error the system raises: a message in the system's own words, and the class
// name that error reports print. Each error class of the system derives from it with its own name.
#pragma once

#include <exception>
#include <string>

namespace tavrik {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// Declares an error class `Name` derived from `Base` that reports its own class name.
#define TAVRIK_EXCEPTION(Name, Base)                                          \
  class Name : public Base {                                                  \
   public:                                                                    \
    using Base::Base;                                                         \
    const char* ClassName() const noexcept override { return #Name; }         \
  }

}  // namespace tavrik
