// Time stamps of the record list and the day log.
//
// Nothing here reads the clock: the caller passes the local time, so the
// window decides where "now" comes from and tests use a fixed clock.
#pragma once

#include <ctime>
#include <string>

// "YYYY-MM-DD HH:MM:SS" (format "%04d-%02d-%02d %02d:%02d:%02d") for the
// given local time. Its first ten characters are the day's date.
std::string CurrentTimeString(const std::tm& local);

// The first ten characters of a time stamp (the date YYYY-MM-DD); the whole
// text when it is shorter.
std::string DateOfTimeString(const std::string& stamp);

// "DD/MM/YYYY" from a time stamp: characters 8-9, "/", characters 5-6, "/",
// characters 0-3. A piece that lies past the end of a short text is blank
// (the slashes stay), so any text gives a defined result.
std::string RecordDateText(const std::string& stamp);

// "HH:MM:SS" from a time stamp: its last eight characters, or the whole text
// when it is shorter.
std::string RecordTimeText(const std::string& stamp);
