// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Named read access to form-level variables, for the script's dump command.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace kestle::forms {

using VarValue = std::variant<double, std::string>;

class Variables {
  public:
    void add(std::string name, std::function<VarValue()> get) {
        vars_[std::move(name)] = std::move(get);
    }
    std::optional<VarValue> get(const std::string& name) const {
        auto it = vars_.find(name);
        if (it == vars_.end())
            return std::nullopt;
        return it->second();
    }

  private:
    std::map<std::string, std::function<VarValue()>> vars_;
};

} // namespace kestle::forms
