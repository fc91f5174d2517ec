// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/preferences.h"

#include <QSettings>

#include <algorithm>

namespace kestle::ui {

namespace {

QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "kestle", "preferences");
}

} // namespace

bool nightViewPreferred() {
    return store().value("view/night", false).toBool();
}

void preferNightView(bool on) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "kestle", "preferences");
    s.setValue("view/night", on);
}

int textSizeStep() {
    bool ok = false;
    const int step = store().value("view/textSize", 0).toInt(&ok);
    return ok ? std::clamp(step, kSmallestTextStep, kLargestTextStep) : 0;
}

void preferTextSizeStep(int step) {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "kestle", "preferences");
    s.setValue("view/textSize", std::clamp(step, kSmallestTextStep, kLargestTextStep));
}

} // namespace kestle::ui
