#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogue/ColourAnswer.h"
#include "dialogue/Console.h"

// What the user decides for one run: the option and the colours it works with.
// Starts zero-filled, so a first "no colour" answer or a first non-number gives a known value.
class FilterSettings {
  public:
    using AnswerBuffer = std::array<char, 40>;

    int32_t filter1{};
    int32_t filter2{};
    int32_t filter3{};
    int32_t filter4{};
    int32_t filter5{};
    int32_t filter6{};
    int32_t filter7{};
    int32_t filter8{};
    int32_t filter9{};
    int32_t filter10{};
    int32_t low_filter{};
    int32_t high_filter{};
    int32_t option{};
    AnswerBuffer answer_line{};

    static constexpr std::array<int32_t FilterSettings::*, 10> kKeepColours = {
        &FilterSettings::filter1, &FilterSettings::filter2, &FilterSettings::filter3,
        &FilterSettings::filter4, &FilterSettings::filter5, &FilterSettings::filter6,
        &FilterSettings::filter7, &FilterSettings::filter8, &FilterSettings::filter9,
        &FilterSettings::filter10};

    void showBanner(Console& console);
    void askSettings(Console& console);

    static int32_t parseHex(const AnswerBuffer& answer);
    static int32_t hexLetterValue(char c);

  private:
    void askOption(Console& console);
    bool readMenuAnswer(Console& console);
    void askKeepColours(Console& console);
    void askBand(Console& console);
    ColourAnswer askColour(Console& console, const std::string& prompt, bool noColourAllowed);
    void keepInAnswerLine(std::string_view line);
};

// The settings of a run as the job and the filters read them, whether the dialogue or the
// command line gave them: the option, the colours it keeps and the band's bounds, colours as
// the pixels' words 0x00RRGGBB.
struct SettingsCopy {
    std::array<uint32_t, 10> keep{};
    uint32_t lowFilter{};
    uint32_t highFilter{};
    int32_t option{};

    static SettingsCopy of(const FilterSettings& settings);
};
