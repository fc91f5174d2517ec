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

void Records::switchLog(Log log, forms::Control* item) {
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
        host_.messageBox(forms::kAppTitle,
                         std::string(logTitle(log)) + " could not be opened: " + s.error());
        return;
    }
    item->setChecked(true);
}

void Records::logfileon_Click() {
    switchLog(Log::Data, f_.logfileon);
}
void Records::logfilerf_Click() {
    switchLog(Log::RfThreshold, f_.logfilerf);
}
void Records::logalarm_Click() {
    switchLog(Log::Alarm, f_.logalarm);
}

void Records::startDataLog() {
    switchLog(Log::Data, f_.logfileon);
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
    if (st_.nochange.value_or(0) == 0 && st_.rfhit.value_or(0) == 0) {
        if (f_.logfileon->checked())
            writeLog(Log::Data, f_.logfileon, logRow());
    } else if (f_.logfilerf->checked()) {
        writeLog(Log::RfThreshold, f_.logfilerf, logRow());
    }
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
