// SPDX-License-Identifier: GPL-3.0-or-later
// The three log switches, the rows of the log stage and the question line.
#include "records/records.h"
#include "support/convert.h"

namespace kestle::records {

namespace {

const char* logTitle(Log log) {
    switch (log) {
    case Log::Data:
        return "The data log";
    case Log::RfThreshold:
        return "The RF / threshold log";
    case Log::Alarm:
        break;
    }
    return "The alarm log";
}

} // namespace

void Records::switchLog(Log log, forms::Control* item, bool reportFailure) {
    if (log != Log::Data)
        st_.appath = appath_;
    if (item->checked()) {
        item->setChecked(false);
        logs_.close(log);
        return;
    }
    st_.appath = appath_;
    if (Status s = logs_.open(log, dataDir_); !s) {
        // The item stays unchecked, so nothing is written to a closed file.
        const std::string what = std::string(logTitle(log)) + " could not be opened: " + s.error();
        if (reportFailure)
            host_.messageBox(forms::kAppTitle, what);
        else
            host_.status(what); // at start-up: said, without a dialog in the way
        return;
    }
    item->setChecked(true);
}

void Records::logfileon_Click() {
    switchLog(Log::Data, f_.logfileon, true);
}
void Records::logfilerf_Click() {
    switchLog(Log::RfThreshold, f_.logfilerf, true);
}
void Records::logalarm_Click() {
    switchLog(Log::Alarm, f_.logalarm, true);
}

void Records::startDataLog() {
    switchLog(Log::Data, f_.logfileon, false);
}

void Records::writeLog(Log log, forms::Control* item, const std::string& text) {
    if (Status s = logs_.writeLine(log, text); !s) {
        // The file is closed by now; what it holds stays, later rows stop here.
        item->setChecked(false);
        host_.messageBox(forms::kAppTitle, std::string(logTitle(log)) +
                                               " was switched off because it could not be "
                                               "written: " +
                                               s.error());
    }
}

std::string Records::logRow() {
    const std::string word = currentWord_ ? currentWord_() : std::string();
    std::string r = timeStamp() + ", ";
    r += plainDecimal(st_.ava1) + ", ";
    r += plainDecimal(st_.avb1) + ", ";
    r += f_.tholddsp->text() + ", ";
    r += f_.TRENDDSP->text() + ", ";
    r += f_.CHA_DSP->text() + ", ";
    r += f_.CHB_DSP->text() + ", ";
    r += f_.FREQA->text() + ",";
    r += f_.FREQB->text() + ",";
    r += std::to_string(st_.rfid) + ",";
    r += word + ",";
    r += st_.tempf + ",";
    r += "Hum,";
    for (const std::string* e : {&st_.emfA, &st_.emfB, &st_.emfC, &st_.emfD, &st_.emfE, &st_.emfF})
        r += *e + ",";
    r += "\r\n";
    return r;
}

void Records::logStage() {
    const bool data = st_.nochange.value_or(0) == 0 && st_.rfhit.value_or(0) == 0;
    forms::Control* item = data ? f_.logfileon : f_.logfilerf;
    if (!item->checked() && !onReading)
        return;
    const std::string row = logRow();
    if (item->checked())
        writeLog(data ? Log::Data : Log::RfThreshold, item, row);
    if (onReading)
        onReading(row);
}

void Records::writeQuestionLine(const std::string& q) {
    if (!f_.logfileon->checked())
        return;
    std::string line = timeStamp() + ", ";
    for (int i = 0; i < 6; ++i)
        line += "NA, ";
    line += "NA,NA,User: ,";
    line += q + "\r\n";
    writeLog(Log::Data, f_.logfileon, line);
}

} // namespace kestle::records
