// Numbers, times and dates in words and from recorded words.
#include "speech_fixture.h"

namespace {

using speechtest::SpeechTest;

TEST(NumberToWords, Examples) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "zero"},
        {7, "sete"},
        {10, "dez"},
        {17, "dezessete"},
        {21, "vinte e um"},
        {100, "cem"},
        {101, "cento e um"},
        {105, "cento e cinco"},
        {110, "cento e dez"},
        {121, "cento e vinte e um"},
        {1000, "mil "},
        {1001, "mil e um"},
        {1100, "mil e cem"},
        {1234, "mil e duzentos e trinta e quatro"},
        {100000, "cem mil "},
        {101000, "cento e um mil "},
        {999999, "novecentos e noventa e nove mil e novecentos e noventa e nove"},
        {1000000, "um milh\xE3o "},
        {2000000, "dois milh\xF5" "es "},
        {1001000, "um milh\xE3o e um mil "},
        {2000000000000LL, "dois trilh\xF5" "es "},
    };
    for (const auto& [value, words] : cases) EXPECT_EQ(numberToWords(value), words) << value;
    // Only the last 15 digits count.
    EXPECT_EQ(numberToWords(1000000000000021LL), "vinte e um");
}

TEST(NumberToWords, FileNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"dezessete", "_dezeset"}, {"dezesseis", "_dezesse"}, {"quatorze", "_quatorz"},
        {"milh\xF5" "es", "_milhoes"}, {"trilh\xF5" "es", "_trilhoe"}, {"milh\xE3o", "_milhao"},
        {"e", "_e"},
    };
    for (const auto& [word, name] : cases) EXPECT_EQ(numberWordFileName(word), name) << word;
}

TEST(Weekday, KnownDates) {
    EXPECT_EQ(weekdayOf(1, 3, 2005), 2);
    EXPECT_EQ(weekdayOf(1, 1, 2000), 6);
    EXPECT_EQ(weekdayOf(1, 1, 1970), 4);
    EXPECT_EQ(weekdayOf(29, 2, 2024), 4);
    // A month past December is carried into the next year.
    EXPECT_EQ(weekdayOf(1, 13, 2004), weekdayOf(1, 1, 2005));
}

TEST_F(SpeechTest, FeminineEndings) {
    speakNumberWords(numberToWords(21), true);
    speakNumberWords(numberToWords(2), true);
    speakNumberWords(numberToWords(2), false);
    EXPECT_EQ(spoken(), "_vinte _e _uma _duas _dois");
    // Each number is one sound.
    EXPECT_EQ(blocks().size(), 3u);
}

TEST_F(SpeechTest, HoursAndMinutes) {
    const std::tuple<int, int, const char*> cases[] = {
        {1, 1, "_uma _hora _um _minuto"},
        {0, 30, "_zero _hora _trinta _minutos"},
        {2, 2, "_duas _horas _dois _minutos"},
        {13, 0, "_treze _horas"},
        {21, 17, "_vinte _e _uma _horas _dezeset _minutos"},
    };
    for (const auto& [hour, minute, said] : cases) {
        useCapture();
        speakHourMinute(hour, minute);
        EXPECT_EQ(spoken(), said) << hour << ":" << minute;
    }
}

TEST_F(SpeechTest, Dates) {
    const std::tuple<int, int, int, const char*> cases[] = {
        {1, 3, 2005, "_Terca _primeir _de _Marco _de _dois _mil _e _cinco"},
        {1, 1, 2000, "_Sabado _primeir _de _Janeiro _de _dois _mil"},
        // Before 2000 the last two digits; a round century whole.
        {25, 12, 1999, "_Sabado _vinte _e _cinco _de _Dezembr _de _noventa _e _nove"},
        {4, 7, 1900, "_Quarta _quatro _de _Julho _de _mil _e _novecen"},
        // From 2100 on the whole year, not "dois mil e cinco".
        {10, 1, 2105, "_Sabado _dez _de _Janeiro _de _dois _mil _e _cento _e _cinco"},
    };
    for (const auto& [day, month, year, said] : cases) {
        useCapture();
        speakDateValue(day, month, year);
        EXPECT_EQ(spoken(), said) << day << "/" << month << "/" << year;
    }
}

TEST_F(SpeechTest, TheClockIsSpoken) {
    static const char* const WEEKDAYS[] = {"_Domingo", "_Segunda", "_Terca", "_Quarta", "_Quinta", "_Sexta", "_Sabado"};
    LocalTime now = systemClock().localTime();
    speakTime();
    EXPECT_NE(spoken().find(now.hour < 2 ? "_hora" : "_horas"), std::string::npos) << spoken();
    useCapture();
    speakDate();
    EXPECT_TRUE(spoken().starts_with(WEEKDAYS[now.weekday])) << spoken();
}

class LongRecordings : public SpeechTest {
protected:
    void SetUp() override {
        for (const char* name : {"_cento", "_vinte", "_e", "_tres", "_mil", "_quatroc", "_cinquen", "_seis"})
            lengthOf[name] = 4000;
        SpeechTest::SetUp();
    }
};

TEST_F(LongRecordings, NumberLongerThanTheBufferPlaysInPiecesInOrder) {
    speakNumberWords(numberToWords(123456), false);
    EXPECT_EQ(spoken(), "_cento _e _vinte _e _tres _mil _e _quatroc _e _cinquen _e _seis");
    // 12 recordings of 4000 samples: 7 fit in the first 30 000 bytes.
    std::vector<CaptureEvent> b = blocks();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].bytes, 28000u);
    EXPECT_EQ(b[1].bytes, 20000u);
}

TEST_F(SpeechTest, MissingRecordingsAreSkipped) {
    std::filesystem::remove(root / "letras" / "_Marco.wav");
    std::filesystem::remove(root / "letras" / "_vinte.wav");
    speakDateValue(21, 3, 2005);
    EXPECT_EQ(spoken(), "_Segunda _e _um _de _de _dois _mil _e _cinco");
}

} // namespace
