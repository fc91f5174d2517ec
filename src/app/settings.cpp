// SPDX-License-Identifier: GPL-3.0-or-later
// readini and writeini: every setting of the main window and the set-up form
// through the settings file, in the file's key order.
#include "app/inifile.h"
#include "app/main_window.h"
#include "support/convert.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace kestle::app {

namespace {

const char* kBandKeys[11] = {"SUBHZ",  "LOWHZ",  "LOWHZ1",  "LOWHZ2",  "LOWHZ3", "LOWMIDHZ",
                             "MIDHZ1", "MIDHZ2", "HIGHHZ1", "HIGHHZ2", "HIGHHZ3"};

std::string alarmKey(std::size_t i) {
    return "ALARM" + std::to_string(i + 1);
}
std::string alarmValueKey(std::size_t i) {
    return "ALARM" + std::to_string(i + 1) + "V";
}

} // namespace

void MainWindow::readini() {
    const auto file = paths_.settingsFile();
    // The file is read once; each key is then looked up by the file's rules.
    // When it cannot be read, every key is skipped as a failed read is.
    const Result<std::string> text = INIload(file);
    // Why it cannot be read or saved was said at start.
    auto read = [&text](const char* section, const std::string& key) -> Result<std::string> {
        if (!text)
            return Error{text.error()};
        return iniValue(*text, section, key);
    };
    auto readFlag = [&](const char* section, const std::string& key, forms::Control* target) {
        if (auto v = read(section, key); v.ok()) {
            if (auto b = toBoolean(*v))
                target->setChecked(*b);
        }
    };
    auto readText = [&](const char* section, const std::string& key, auto assign) {
        if (auto v = read(section, key); v.ok())
            assign(*v);
    };

    for (std::size_t i = 0; i < 11; ++i)
        readFlag("RF", kBandKeys[i], main_.bands[i]);

    readText("VIDEO", "V1", [this](const std::string& v) { vid2_.txtText->setText(v); });
    readText("VIDEO", "V2", [this](const std::string& v) { vid2_.txtText2->setText(v); });
    readText("VIDEO", "V3", [this](const std::string& v) { vid2_.txtimage->setText(v); });

    for (std::size_t i = 0; i < 12; ++i)
        readFlag("ALARM", alarmKey(i), main_.alarms[i]);
    for (std::size_t i = 0; i < 12; ++i)
        readText("ALARM", alarmValueKey(i),
                 [this, i](const std::string& v) { st_.alarmLimits[i] = v; });

    readText("NAG", "NAGSCREEN", [this](const std::string& v) {
        if (auto n = toInt16(v))
            st_.nag = *n;
    });
    int nag = st_.nag + 1;
    st_.nag = static_cast<std::int16_t>(nag > 20 ? 0 : nag);

    readText("TEMP", "CAL", [this](const std::string& v) {
        if (auto n = toInt16(v))
            st_.tcal = *n;
    });
    st_.mcal.clear();
    readText("MAG", "CAL", [this](const std::string& v) { st_.mcal = v; });
    if (auto n = parseNumber(st_.mcal); !n || *n == 0)
        st_.mcal = "mag";

    if (auto v = read("SCREEN", "TEXT"); v.ok()) {
        if (v->empty()) {
            main_.logtext->setChecked(true);
            main_.veiwlog->setVisible(true);
        } else {
            if (auto b = toBoolean(*v))
                main_.logtext->setChecked(*b);
            if (!main_.logtext->checked())
                main_.veiwlog->setVisible(false);
        }
    }
}

Status MainWindow::writeini() {
    // Every key is applied to the text in memory by the single-write rules,
    // and the file is replaced once: a kill in the middle leaves the old
    // file, never a mix of old and new values.
    std::vector<IniEntry> entries;
    auto add = [&entries](const char* section, const std::string& key, const std::string& value) {
        entries.push_back({section, key, value});
    };
    add("SCREEN", "TEXT", flagText(main_.logtext->checked()));
    for (std::size_t i = 0; i < 11; ++i)
        add("RF", kBandKeys[i], flagText(main_.bands[i]->checked()));
    add("VIDEO", "V1", vid2_.txtText->text());
    add("VIDEO", "V2", vid2_.txtText2->text());
    add("VIDEO", "V3", vid2_.txtimage->text());
    for (std::size_t i = 0; i < 12; ++i)
        add("ALARM", alarmKey(i), flagText(main_.alarms[i]->checked()));
    for (std::size_t i = 0; i < 12; ++i)
        add("ALARM", alarmValueKey(i), st_.alarmLimits[i]);
    add("NAG", "NAGSCREEN", std::to_string(st_.nag));
    add("TEMP", "CAL", std::to_string(st_.tcal));
    add("MAG", "CAL", st_.mcal);
    return INIwriteAll(paths_.settingsFile(), entries);
}

} // namespace kestle::app
