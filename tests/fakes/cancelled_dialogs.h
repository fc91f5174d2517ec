// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A base for fakes of the user interface that offer no files or colours:
// every file and colour dialog is cancelled.
#include "forms/ui_host.h"

namespace kestle::test {

struct CancelledDialogs : forms::UiHost {
    void fileDialog(const std::string&, const std::string&,
                    std::function<void(std::optional<std::string>)> done) override {
        done(std::nullopt);
    }
    void colorDialog(const std::string&, std::uint32_t,
                     std::function<void(std::optional<std::uint32_t>)> done) override {
        done(std::nullopt);
    }
};

} // namespace kestle::test
