#pragma once
// Alarms, the log stage and the screen text commands of the main window.
// (Being built.)
namespace kestle::records {
class Records {};
} // namespace kestle::records
