// Numbers, the time and the date spoken from recorded words. A number
// becomes Brazilian Portuguese words ("cento e vinte e um"); each word is a
// recording in the letter directory ("_" + the word without tildes, cut to 8
// characters), and the recordings of one number are joined into one sound so
// that it plays without gaps. Keeps no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Capacity of the buffer in which the recordings of a number are joined.
constexpr size_t SPOKEN_NUMBER_BUFFER = 30000;

// The words of `value` (Windows-1252): 121 gives "cento e vinte e um",
// 1001 "mil e um", 2 000 000 "dois milhões " (scale words keep their
// trailing space). Only the last 15 decimal digits count; a negative value
// is spoken as its magnitude.
std::string numberToWords(int64_t value);
// The recording name of one word: "_" + the word with ã and õ as a and o,
// cut to 8 characters; dezessete is "_dezeset".
std::string numberWordFileName(std::string_view word);
// Plays the words from their recordings, joined in buffers of
// SPOKEN_NUMBER_BUFFER bytes, and waits for the end. `feminine` turns a
// last "um" or "dois" into "uma" or "duas". Missing recordings are skipped.
void speakNumberWords(std::string_view words, bool feminine);
// "uma hora um minuto", "zero hora trinta minutos", "duas horas dois minutos".
void speakHourMinute(int hour, int minute);
// The weekday, the day ("primeiro" for the 1st), "de", the month, "de", the year.
void speakDateValue(int day, int month, int year);
// The current time and date of the console's clock.
void speakTime();
void speakDate();
// 0 (Sunday) .. 6 (Saturday), proleptic Gregorian calendar; a month outside
// 1..12 is carried into the year.
int weekdayOf(int day, int month, int year);
