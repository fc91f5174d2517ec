// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/log_files.h"

#include <system_error>

namespace kestle::records {

const char* logFileName(Log log) {
    switch (log) {
    case Log::Data:
        return "CV_data_file.csv";
    case Log::RfThreshold:
        return "CV_rf_threshold.csv";
    case Log::Alarm:
        return "CV_Alarm_Log.TXT";
    }
    return "";
}

std::string logHeader(Log log) {
    static const std::string common = "Time ,Ch A, Ch B , Threshold , Trend , Ch A VDC ,Ch B VDC ,"
                                      "Ch A Freq ,Ch B Freq ,RF ID ,Data,Temp,Humidity ,";
    switch (log) {
    case Log::Data:
        return common + "EMFA ,EMFB ,EMFC ,EMFD ,EMFE ,EMFFA ,\r\n";
    case Log::RfThreshold:
        return common + "IR Light Level ,EMF,\r\n";
    case Log::Alarm:
        return "\r\n Alarms Log File!";
    }
    return {};
}

AppendFile& LogFiles::file(Log log) {
    switch (log) {
    case Log::Data:
        return data_;
    case Log::RfThreshold:
        return rf_;
    case Log::Alarm:
        break;
    }
    return alarm_;
}

const AppendFile& LogFiles::file(Log log) const {
    return const_cast<LogFiles*>(this)->file(log);
}

Status LogFiles::open(Log log, const std::filesystem::path& folder) {
    AppendFile& f = file(log);
    f.close();
    if (Status s = f.open(folder / logFileName(log)); !s)
        return s;
    return writeLine(log, logHeader(log));
}

void LogFiles::close(Log log) {
    file(log).close();
}

bool LogFiles::isOpen(Log log) const {
    return file(log).isOpen();
}

std::filesystem::path LogFiles::path(Log log) const {
    return file(log).path();
}

Status LogFiles::writeLine(Log log, const std::string& utf8) {
    AppendFile& f = file(log);
    if (!f.isOpen())
        return Error{std::string(logFileName(log)) + " is not open"};
    // Writing to a file whose folder was removed still succeeds here and
    // the rows would vanish with it: treat a file that is gone as a failure.
    std::error_code ec;
    if (std::filesystem::status(f.path(), ec).type() == std::filesystem::file_type::not_found) {
        const std::string name = f.path().string();
        f.close();
        return Error{"Cannot write " + name +
                     ": the file is gone (its folder was removed or renamed)"};
    }
    Status s = f.write(utf8, true);
    if (!s)
        f.close();
    return s;
}

} // namespace kestle::records
