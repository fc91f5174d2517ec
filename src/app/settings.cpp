// readini and writeini: every setting of the main window and the set-up form
// through the settings file, in the file's key order.
#include "app/inifile.h"
#include "app/main_window.h"
#include "support/convert.h"

#include <string>

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
    // Every single read is guarded: a key that cannot be read is skipped.
    auto read = [&file](const char* section, const std::string& key) {
        return INIread(file, section, key);
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
    const auto file = paths_.settingsFile();
    // No guard of its own: the first failure abandons the remaining keys.
    auto write = [&file](const char* section, const std::string& key, const std::string& value) {
        return INIwrite(file, section, key, value);
    };
    if (Status s = write("SCREEN", "TEXT", flagText(main_.logtext->checked())); !s)
        return s;
    for (std::size_t i = 0; i < 11; ++i) {
        if (Status s = write("RF", kBandKeys[i], flagText(main_.bands[i]->checked())); !s)
            return s;
    }
    if (Status s = write("VIDEO", "V1", vid2_.txtText->text()); !s)
        return s;
    if (Status s = write("VIDEO", "V2", vid2_.txtText2->text()); !s)
        return s;
    if (Status s = write("VIDEO", "V3", vid2_.txtimage->text()); !s)
        return s;
    for (std::size_t i = 0; i < 12; ++i) {
        if (Status s = write("ALARM", alarmKey(i), flagText(main_.alarms[i]->checked())); !s)
            return s;
    }
    for (std::size_t i = 0; i < 12; ++i) {
        if (Status s = write("ALARM", alarmValueKey(i), st_.alarmLimits[i]); !s)
            return s;
    }
    if (Status s = write("NAG", "NAGSCREEN", std::to_string(st_.nag)); !s)
        return s;
    if (Status s = write("TEMP", "CAL", std::to_string(st_.tcal)); !s)
        return s;
    return write("MAG", "CAL", st_.mcal);
}

} // namespace kestle::app
