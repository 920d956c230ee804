// Spoken numbers, times and dates from recorded words.
#include "speech/spoken_numbers.h"

#include "console/console.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "sound/wave_player.h"
#include "speech/speech.h"

#include <algorithm>
#include <vector>

namespace {

const char* const UNITS[] = {"zero", "um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove"};
const char* const TEENS[] = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                             "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
const char* const TENS[] = {"", "", "vinte", "trinta", "quarenta", "cinquenta", "sessenta", "setenta", "oitenta", "noventa"};
const char* const HUNDREDS[] = {"",           "cento",     "duzentos",   "trezentos",  "quatrocentos",
                                "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
// Scale words of the five groups of three digits, highest first.
const char* const SCALE_ONE[] = {"trilh\xE3o ", "bilh\xE3o ", "milh\xE3o ", "mil ", ""};
const char* const SCALE_MANY[] = {"trilh\xF5" "es ", "bilh\xF5" "es ", "milh\xF5" "es ", "mil ", ""};

const char* const WEEKDAYS[] = {"Domingo", "Segunda", "Terca", "Quarta", "Quinta", "Sexta", "Sabado"};
const char* const MONTHS[] = {"Janeiro", "Fevereiro", "Marco",    "Abril",   "Maio",     "Junho",
                              "Julho",   "Agosto",    "Setembro", "Outubro", "Novembro", "Dezembro"};

constexpr size_t WAVE_HEADER = 44;

// The words of three digits ("000" gives nothing).
std::string threeDigits(const char* d) {
    int d1 = d[0] - '0', d2 = d[1] - '0', d3 = d[2] - '0';
    if (d1 == 0 && d2 == 0 && d3 == 0) return {};
    if (d1 == 1 && d2 == 0 && d3 == 0) return "cem";
    std::string words;
    if (d1 != 0) {
        words = HUNDREDS[d1];
        if (d2 == 0 && d3 == 0) return words;
        words += " e ";
    }
    if (d2 == 1) return words + TEENS[d3];
    if (d2 != 0) {
        words += TENS[d2];
        if (d3 == 0) return words;
        words += " e ";
    }
    if (d3 != 0) words += UNITS[d3];
    return words;
}

// Joins recordings into one 8-bit mono 11 025 Hz image and plays it when
// full or at the end.
class RecordingJoiner {
public:
    RecordingJoiner() { image_.reserve(WAVE_HEADER + SPOKEN_NUMBER_BUFFER); image_.assign(WAVE_HEADER, '\0'); }

    void add(const std::string& name) {
        std::string file;
        if (!readWholeFile(mapPath(letterDirectory() + name + ".wav"), file) || file.size() <= WAVE_HEADER) return;
        std::string_view samples = std::string_view(file).substr(WAVE_HEADER);
        if (collected() + samples.size() > SPOKEN_NUMBER_BUFFER) play();
        // A recording longer than the whole buffer goes on in the next one.
        while (!samples.empty()) {
            size_t n = std::min(samples.size(), SPOKEN_NUMBER_BUFFER - collected());
            image_.append(samples.substr(0, n));
            samples.remove_prefix(n);
            if (!samples.empty()) play();
        }
    }

    void play() {
        if (collected() == 0) return;
        makeWaveHeader(image_.data(), 11025, 8, static_cast<uint32_t>(collected()), 1);
        playWaveBuffer(image_);
        image_.resize(WAVE_HEADER);
    }

private:
    size_t collected() const { return image_.size() - WAVE_HEADER; }
    std::string image_;
};

int64_t floorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

} // namespace

std::string numberToWords(int64_t value) {
    uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    if (v == 0) return "zero";
    // The last 15 digits, padded with zeros on the left.
    char digits[15];
    for (int i = 14; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    std::string groups[5];
    for (int g = 0; g < 5; ++g) {
        const char* d = digits + 3 * g;
        groups[g] = threeDigits(d);
        if (g < 4 && !groups[g].empty()) {
            bool one = d[0] == '0' && d[1] == '0' && d[2] == '1';
            groups[g] += std::string(" ") + (one ? SCALE_ONE[g] : SCALE_MANY[g]);
        }
    }
    int lastGroup = 4;
    while (groups[lastGroup].empty()) --lastGroup;
    std::string words;
    for (int g = 0; g < 5; ++g) {
        if (groups[g].empty()) continue;
        if (g == lastGroup && !words.empty()) words += "e ";
        words += groups[g];
    }
    if (words.starts_with("um mil") && !words.starts_with("um milh")) words.erase(0, 3);
    return words;
}

std::string numberWordFileName(std::string_view word) {
    if (word == "dezessete") return "_dezeset";
    std::string name = "_";
    for (char c : word.substr(0, 7)) {
        if (c == '\xE3') c = 'a';
        else if (c == '\xF5') c = 'o';
        name += c;
    }
    return name;
}

void speakNumberWords(std::string_view words, bool feminine) {
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < words.size()) {
        size_t end = words.find(' ', pos);
        if (end == std::string_view::npos) end = words.size();
        if (end > pos) names.push_back(numberWordFileName(words.substr(pos, end - pos)));
        pos = end + 1;
    }
    if (feminine && !names.empty()) {
        if (names.back() == "_um") names.back() = "_uma";
        else if (names.back() == "_dois") names.back() = "_duas";
    }
    RecordingJoiner joiner;
    for (const std::string& name : names) joiner.add(name);
    joiner.play();
}

void speakHourMinute(int hour, int minute) {
    speakNumberWords(numberToWords(hour), true);
    playSound(hour < 2 ? "_hora" : "_horas");
    if (minute == 0) return;
    speakNumberWords(numberToWords(minute), false);
    playSound(minute < 2 ? "_minuto" : "_minutos");
}

void speakDateValue(int day, int month, int year) {
    playSound(std::string("_") + WEEKDAYS[weekdayOf(day, month, year)]);
    if (day == 1) playSound("_primeir");
    else speakNumberWords(numberToWords(day), false);
    playSound("_de");
    if (month >= 1 && month <= 12) playSound("_" + std::string(MONTHS[month - 1]).substr(0, 7));
    playSound("_de");
    if (year >= 2100) {
        // Said whole: "dois mil e cinco" would name another century.
        speakNumberWords(numberToWords(year), false);
    } else if (year >= 2000) {
        speakNumberWords(numberToWords(2000), false);
        if (year > 2000) playSound("_e");
        if (year % 100 != 0) speakNumberWords(numberToWords(year % 100), false);
    } else if (year > 0) {
        // The last two digits, as people say them; a round century whole.
        speakNumberWords(numberToWords(year % 100 != 0 ? year % 100 : year), false);
    }
}

void speakTime() {
    int hour, minute, second, hundredths;
    currentTime(hour, minute, second, hundredths);
    speakHourMinute(hour, minute);
}

void speakDate() {
    int year, month, day, weekday;
    currentDate(year, month, day, weekday);
    speakDateValue(day, month, year);
}

int weekdayOf(int day, int month, int year) {
    static const int MONTH_OFFSET[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int64_t y = year + floorDiv(static_cast<int64_t>(month) - 1, 12);
    int64_t m = static_cast<int64_t>(month) - 1 - 12 * floorDiv(static_cast<int64_t>(month) - 1, 12);
    if (m < 2) y -= 1;
    int64_t w = y + floorDiv(y, 4) - floorDiv(y, 100) + floorDiv(y, 400) + MONTH_OFFSET[m] + day;
    return static_cast<int>((w % 7 + 7) % 7);
}
