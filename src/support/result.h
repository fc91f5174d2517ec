// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A value or the text of what went wrong. Device and file code return these;
// only the UI decides whether and how to show the error.
#include <optional>
#include <string>
#include <utility>

namespace kestle {

struct Error {
    std::string message;
};

template <typename T> class Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(std::move(error.message)) {}
    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const std::string& error() const { return error_; }

  private:
    std::optional<T> value_;
    std::string error_;
};

// For operations that have no value to return.
class Status {
  public:
    Status() = default;
    Status(Error error) : failed_(true), error_(std::move(error.message)) {}
    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_; }

  private:
    bool failed_ = false;
    std::string error_;
};

} // namespace kestle
