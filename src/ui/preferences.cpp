#include "ui/preferences.h"

#include <QSettings>

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

} // namespace kestle::ui
